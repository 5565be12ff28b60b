#!/usr/bin/env bash
# Opening a file of a gigabyte in the real editor under Xvfb, against Geany when it is
# installed (apt-get install geany), in one run. The file is made of the 64 MB benchmark text
# by bench_huge and deleted at the end. Usage: scripts/bench-huge.sh [build dir] [MB]
# Prints for each editor the seconds until its window has settled (shown, and the process's
# CPU time no longer growing for half a second) and its resident memory then; for Vendrix
# also the time until its first paint.
set -euo pipefail
build=${1:-build/release}
megabytes=${2:-1024}
vendrix=$build/app/vendrix
[ -x "$vendrix" ] || { echo "no $vendrix: build the vendrix and bench_huge targets" >&2; exit 1; }
work=$(mktemp -d /tmp/vendrix-huge.XXXXXX)
file=$work/big.txt
display=:97
Xvfb $display -screen 0 1280x1024x24 >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
VENDRIX_HUGE_MB=$megabytes "$build/app/bench_huge" --write "$file" >/dev/null
sleep 1
export DISPLAY=$display
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime # no hand-over to an editor already running elsewhere
mkdir -m 700 -p "$XDG_RUNTIME_DIR"
cat "$file" >/dev/null # page cache warm for every run

ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo -1; }
rss() { awk '/VmRSS/ {printf "%.0f", $2 / 1024}' "/proc/$1/status" 2>/dev/null || echo 0; }

# Starts "$@", waits for a window of the process and then for its CPU time to stand still
# for half a second; prints seconds and resident megabytes, and ends the process.
settle() {
    local start=$(date +%s.%N) pid last now
    "$@" >/dev/null 2>&1 &
    pid=$!
    until xdotool search --pid "$pid" --onlyvisible >/dev/null 2>&1; do
        sleep 0.05
        kill -0 "$pid" 2>/dev/null || { echo "exited early"; return; }
    done
    last=$(ticks "$pid")
    local quiet=0 settledAt
    while [ $quiet -lt 10 ]; do
        sleep 0.05
        now=$(ticks "$pid")
        if [ "$now" = "$last" ]; then
            [ $quiet -eq 0 ] && settledAt=$(date +%s.%N)
            quiet=$((quiet + 1))
        else
            quiet=0
        fi
        last=$now
    done
    printf "%.2f s, %s MB resident\n" "$(awk "BEGIN {print $settledAt - $start}")" "$(rss "$pid")"
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}

echo "$(stat -c %s "$file") bytes, $(wc -l <"$file") lines"
start=$(date +%s.%N)
VENDRIX_EXIT_AFTER_FIRST_PAINT=1 "$vendrix" "$file" >/dev/null 2>&1 || true
paint=$(awk "BEGIN {print $(date +%s.%N) - $start}")
printf "Vendrix until first paint: %.2f s\n" "$paint"
printf "Vendrix until settled: "
v=$(settle "$vendrix" "$file"); echo "$v"
if command -v geany >/dev/null; then
    printf "Geany until settled: "
    g=$(settle geany --new-instance --no-session --no-plugins --config="$work/geany" "$file")
    echo "$g"
    vs=${v%% s*}; gs=${g%% s*}
    printf "Vendrix / Geany (settled): %.2f (target <= 0.25); first paint / Geany: %.2f\n" \
        "$(awk "BEGIN {print $vs / $gs}")" "$(awk "BEGIN {print $paint / $gs}")"
else
    echo "Geany is not installed: no baseline (see bench_huge for the read+copy baseline)"
fi
