#!/usr/bin/env bash
# Start-up and idle memory of Vendrix against Geany, in one run on a private Xvfb, each start
# with an empty session (fresh throw-away XDG homes). For each editor, the median of RUNS
# starts: milliseconds from the process start until its window is mapped and until that window
# shows a painted frame (scripts/xlatency.c, built here, watches the pixels the same way for
# both), then its resident memory (VmRSS, and PSS from smaps_rollup) after 5 s idle. Vendrix
# also gets the time until its own first paint event (VENDRIX_EXIT_AFTER_FIRST_PAINT).
# Usage: scripts/bench-startup.sh [--runs N] [build dir]   (default 5 runs, build/release)
set -euo pipefail
runs=5 build=build/release
while [ $# -gt 0 ]; do
    case $1 in
        --runs) runs=$2; shift ;;
        -h | --help) sed -n '2,8p' "$0"; exit 0 ;;
        -*) echo "unknown option $1" >&2; exit 2 ;;
        *) build=$1 ;;
    esac
    shift
done
here=$(cd "$(dirname "$0")" && pwd)
vendrix=$build/app/vendrix
[ -x "$vendrix" ] || { echo "no $vendrix: build the vendrix target" >&2; exit 1; }
command -v geany >/dev/null || { echo "Geany is not installed (apt-get install geany)" >&2; exit 1; }
. "$here/xvfb-bench.sh"
cc -O2 -o "$work/xlatency" "$here/xlatency.c" -lX11 -lXtst ||
    { echo "cannot build xlatency: install libx11-dev and libxtst-dev" >&2; exit 1; }

# Points the XDG homes at a fresh folder $1.
fresh_home() {
    export XDG_DATA_HOME=$1/data XDG_CONFIG_HOME=$1/config XDG_CACHE_HOME=$1/cache
    export XDG_RUNTIME_DIR=$1/runtime
    mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME"
    mkdir -m 700 -p "$XDG_RUNTIME_DIR"
}

# One start of "$@": prints "MAP_MS FRAME_MS RSS_KB PSS_KB".
one_start() {
    local line pid map frame
    line=$("$work/xlatency" start "$@") || { echo "- - - -"; return; }
    read -r pid map frame <<<"$line"
    bench_pids+=("$pid")
    sleep 5
    printf "%s %s %s %s\n" "$map" "$frame" \
        "$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")" \
        "$(awk '/^Pss:/ {print $2}' "/proc/$pid/smaps_rollup")"
    stop_pid "$pid"
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)]; else print "-" }'; }

echo "load before: $(uptime | sed 's/.*load/load/')"
: >"$work/vendrix.runs"; : >"$work/geany.runs"; : >"$work/paint.runs"
for i in $(seq "$runs"); do
    fresh_home "$work/v$i"
    one_start "$vendrix" >>"$work/vendrix.runs"
    fresh_home "$work/g$i"
    one_start geany --new-instance >>"$work/geany.runs"
    fresh_home "$work/p$i"
    begin=$(date +%s%N)
    VENDRIX_EXIT_AFTER_FIRST_PAINT=1 "$vendrix" >/dev/null 2>&1 &&
        echo $((($(date +%s%N) - begin) / 1000000)) >>"$work/paint.runs"
done
echo "load after:  $(uptime | sed 's/.*load/load/')"

declare -A m
for e in vendrix geany; do
    for c in 1 2 3 4; do m[$e,$c]=$(awk -v c=$c '$c != "-" { print $c }' "$work/$e.runs" | median); done
done
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'; }
mb() { awk -v k="$1" 'BEGIN { if (k == "-") print "-"; else printf "%.1f", k / 1024 }'; }
echo
echo "Start-up with an empty session and idle memory (median of $runs starts):"
printf "%-16s %10s %14s %16s %16s\n" "" "map (ms)" "frame (ms)" "VmRSS 5 s (MB)" "PSS 5 s (MB)"
for e in vendrix geany; do
    printf "%-16s %10s %14s %16s %16s\n" "$e" "${m[$e,1]}" "${m[$e,2]}" "$(mb "${m[$e,3]}")" \
        "$(mb "${m[$e,4]}")"
done
printf "%-16s %10s %14s %16s %16s\n" "Vendrix / Geany" "$(ratio "${m[vendrix,1]}" "${m[geany,1]}")" \
    "$(ratio "${m[vendrix,2]}" "${m[geany,2]}")" "$(ratio "${m[vendrix,3]}" "${m[geany,3]}")" \
    "$(ratio "${m[vendrix,4]}" "${m[geany,4]}")"
echo "Vendrix until its own first paint event: $(median <"$work/paint.runs") ms"
echo "Targets: every Vendrix / Geany ratio <= 1."
