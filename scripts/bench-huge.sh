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
here=$(cd "$(dirname "$0")" && pwd)
. "$here/xvfb-bench.sh" # private Xvfb, $work with throw-away XDG homes, the waiting helpers
file=$work/big.txt
VENDRIX_HUGE_MB=$megabytes "$build/app/bench_huge" --write "$file" >/dev/null
cat "$file" >/dev/null # page cache warm for every run

# Starts "$@", waits for a window of the process and then for its CPU time to stand still
# for half a second; prints seconds and resident megabytes, and ends the process.
settle() {
    local start=$(date +%s.%N) pid settledAt
    "$@" >/dev/null 2>&1 &
    pid=$!
    bench_pids+=("$pid")
    [ -n "$(window_of "$pid" 120)" ] || { echo "exited early"; return; }
    settledAt=$(settle_pid "$pid" 300)
    [ -n "$settledAt" ] || { echo "did not settle"; stop_pid "$pid"; return; }
    printf "%.2f s, %s MB resident\n" "$(awk "BEGIN {print $settledAt - $start}")" "$(rss "$pid")"
    stop_pid "$pid"
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
