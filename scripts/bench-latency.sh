#!/usr/bin/env bash
# Keystroke-to-pixel latency of Vendrix against Geany and a bare QPlainTextEdit, in one run on
# a private Xvfb: for each editor and file, types KEYS characters (each followed by a
# BackSpace) through XTest into the settled window and times each until its glyph is on the
# screen's pixels (scripts/xlatency.c, built here with cc against libX11 and libXtst).
# Files, made in a temporary folder: empty, 64 MB of source-like text, 20 MB on one line, and
# with --huge 1 GB (Geany needs ~10 s and a few GB to open it; the QPlainTextEdit skips it).
# Usage: scripts/bench-latency.sh [--huge] [--keys N] [--only "empty 64mb line20mb 1gb"]
# [build dir]   (default 200 keys, build/release with the vendrix, bench_huge and
# bench_plain_text_edit targets built)
set -euo pipefail
huge=0 keys=200 budget=90 only="" build=build/release
while [ $# -gt 0 ]; do
    case $1 in
        --huge) huge=1 ;;
        --keys) keys=$2; shift ;;
        --only) only=$2; shift ;;
        -h | --help) sed -n '2,10p' "$0"; exit 0 ;;
        -*) echo "unknown option $1" >&2; exit 2 ;;
        *) build=$1 ;;
    esac
    shift
done
here=$(cd "$(dirname "$0")" && pwd)
vendrix=$build/app/vendrix plain=$build/app/bench_plain_text_edit
for b in "$vendrix" "$plain" "$build/app/bench_huge"; do
    [ -x "$b" ] || { echo "no $b: build vendrix, bench_huge and bench_plain_text_edit" >&2; exit 1; }
done
. "$here/xvfb-bench.sh"
cc -O2 -o "$work/xlatency" "$here/xlatency.c" -lX11 -lXtst ||
    { echo "cannot build xlatency: install libx11-dev and libxtst-dev" >&2; exit 1; }

# The files.
files=(empty 64mb line20mb)
: >"$work/empty.txt"
VENDRIX_HUGE_MB=64 "$build/app/bench_huge" --write "$work/64mb.txt" >/dev/null
head -c $((21 << 20)) "$work/64mb.txt" | tr -d '\n' >"$work/line.tmp"
truncate -s $((20 << 20)) "$work/line.tmp"
iconv -c -f UTF-8 -t UTF-8 "$work/line.tmp" >"$work/line20mb.txt" || true # no character cut in two
rm "$work/line.tmp"
if [ $huge = 1 ] || [[ " $only " == *" 1gb "* ]]; then
    VENDRIX_HUGE_MB=1024 "$build/app/bench_huge" --write "$work/1gb.txt" >/dev/null
    files+=(1gb)
fi
[ -z "$only" ] || read -r -a files <<<"$only"
cat "$work"/*.txt >/dev/null # page cache warm for every run

# Types into "$@" once it has settled (or after a minute of work when it keeps busy, marked
# with a "*": Geany styles a long line in the background); prints "MEDIAN P99 SEEN" in ms, or
# "- - REASON".
measure() {
    local pid w busy="" samples=$work/samples
    "$@" >"$work/editor.log" 2>&1 &
    pid=$!
    bench_pids+=("$pid")
    w=$(window_of "$pid" 120)
    if [ -z "$w" ]; then echo "- - no-window"; stop_pid "$pid" KILL; return; fi
    [ -n "$(settle_pid "$pid" 60)" ] || busy="*"
    if ! "$work/xlatency" keys "$w" "$keys" "$budget" >"$samples" 2>"$work/xlatency.log"; then
        echo "- - $(tail -n 1 "$work/xlatency.log" | tr ' ' '_')"
    else
        sort -g "$samples" | awk -v busy="$busy" '$1 >= 0 { v[++n] = $1 } END {
            if (n == 0) { print "- - none-seen"; exit }
            m = int((n + 1) / 2); p = int(n * 0.99 + 0.999)
            printf "%.1f %.1f %d/%d%s\n", v[m], v[p], n, NR, busy }'
    fi
    stop_pid "$pid" KILL # no session write of the typed buffer
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a == "-" || b == "-" || b == 0) print "-"; else printf "%.2f", a / b }'; }

echo "load before: $(uptime | sed 's/.*load/load/')"
declare -A result
for f in "${files[@]}"; do
    file=$work/$f.txt
    result[vendrix,$f]=$(measure "$vendrix" -- "$file")
    if command -v geany >/dev/null; then
        result[geany,$f]=$(measure geany --new-instance --no-session --no-plugins \
            --config="$work/geany" -- "$file")
    else
        result[geany,$f]="- - not-installed"
    fi
    if [ "$f" = 1gb ]; then
        result[plain,$f]="- - skipped"
    else
        result[plain,$f]=$(measure "$plain" "$file")
    fi
    echo "$f: vendrix ${result[vendrix,$f]} | geany ${result[geany,$f]} | plain ${result[plain,$f]}" >&2
done
echo "load after:  $(uptime | sed 's/.*load/load/')"
echo
echo "Keystroke to pixel, ms (median / p99; keys seen), $keys keys per run:"
printf "%-9s %-22s %-22s %-22s %-13s %-13s\n" file Vendrix Geany QPlainTextEdit \
    "V/Geany" "V/QPlainText"
printf "%-9s %-22s %-22s %-22s %-13s %s\n" "" "" "" "" "med p99" "med p99"
for f in "${files[@]}"; do
    read -r vm vp vn <<<"${result[vendrix,$f]}"
    read -r gm gp gn <<<"${result[geany,$f]}"
    read -r qm qp qn <<<"${result[plain,$f]}"
    printf "%-9s %-22s %-22s %-22s %-13s %s\n" "$f" "$vm / $vp ($vn)" "$gm / $gp ($gn)" \
        "$qm / $qp ($qn)" "$(ratio "$vm" "$gm") $(ratio "$vp" "$gp")" \
        "$(ratio "$vm" "$qm") $(ratio "$vp" "$qp")"
done
echo "(*: still busy a minute after opening, typed into anyway. Typing stops after $budget s: an"
echo " editor slower than that gets fewer keys. A key not seen in 10 s is left out and counted"
echo " in \"keys seen\".)"
echo "Targets: Vendrix / Geany <= 1 at every size, Vendrix p99 <= 16 ms."
