#!/usr/bin/env bash
# `vendrix-cli find include TREE` on a warm source tree (default /usr/include, about 130 MB
# of headers) against ripgrep searching the same tree for the same case-insensitive literal,
# both with their default rules (hidden files, ignore files and binary files skipped).
# Checks that both count the same matches, then runs each tool five times and keeps the
# fastest wall and CPU times. Prints the speed of find as a fraction of ripgrep's (the
# target is at least 0.5) and the peak memory of find above that of an idle run.
#
#   bench/cli-find-folder-vs-ripgrep.sh [TREE [path/to/vendrix-cli]]
#
# Skips (exit 0) when ripgrep is not installed (apt-get install ripgrep).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
tree="${1:-/usr/include}"
cli="${2:-$root/build/release/cli/vendrix-cli}"
query="${VENDRIX_BENCH_QUERY:-include}"
if ! command -v rg >/dev/null 2>&1; then
    echo "ripgrep (rg) is not installed: skipped."
    exit 0
fi
if [ ! -x "$cli" ]; then
    echo "no vendrix-cli at $cli (build the release tree first)" >&2
    exit 1
fi
if [ ! -d "$tree" ]; then
    echo "no folder at $tree" >&2
    exit 1
fi

# Every hit printed, nothing cut by the limit or the time budget.
find_args=(find --limit 1000000000 --timeout 3600 "$query" "$tree")
rg_args=(rg --no-config -F -i -n --column "$query" "$tree")

# Warm the page cache (twice through each tool as well).
find "$tree" -type f -print0 | xargs -0 cat > /dev/null 2>&1 || true
"$cli" "${find_args[@]}" > /dev/null || true
"${rg_args[@]}" > /dev/null || true

files=$(rg --no-config --files "$tree" | wc -l)
bytes=$(rg --no-config --files -0 "$tree" | du -cb --files0-from=- | tail -n 1 | cut -f 1)
find_hits=$("$cli" "${find_args[@]}" | tail -n 1)
rg_hits=$(rg --no-config -F -i --count-matches "$query" "$tree" |
    awk -F: '{ s += $NF } END { print s + 0 }')
echo "tree: $tree, $files files ripgrep searches, $((bytes >> 20)) MB"
echo "matches of \"$query\" (case-insensitive): vendrix-cli: $find_hits; rg: $rg_hits"

. "$root/bench/timing.sh"

mine=$(best_of_five "$cli" "${find_args[@]}")
theirs=$(best_of_five "${rg_args[@]}")
awk -v v="$mine" -v r="$theirs" -v cores="$(nproc)" 'BEGIN {
    split(v, a, " "); split(r, b, " ");
    printf "find %s on %d cores:\n", "include", cores;
    printf "  vendrix-cli find: %6d ms wall, %6d ms CPU\n", a[1], a[2];
    printf "  rg -i:            %6d ms wall, %6d ms CPU\n", b[1], b[2];
    wall = a[1] > 0 ? b[1] / a[1] : 0; cpu = a[2] > 0 ? b[2] / a[2] : 0;
    printf "  find speed relative to ripgrep: %.2fx wall, %.2fx CPU (target >= 0.5x)\n", wall, cpu;
}'

# Peak resident memory of the search against an idle run of the same program (a search
# of one empty file), in MB.
peak_kb() {
    if [ -x /usr/bin/time ]; then
        /usr/bin/time -f '%M' "$@" 2>&1 > /dev/null | tail -n 1
    elif command -v python3 > /dev/null; then
        python3 -c 'import resource, subprocess, sys
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL)
print(resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss)' "$@"
    fi
}
empty="$(mktemp)"
trap 'rm -f "$empty"' EXIT
idle=$(peak_kb "$cli" find "$query" "$empty" || true)
busy=$(peak_kb "$cli" "${find_args[@]}" || true)
if [ -n "$idle" ] && [ -n "$busy" ]; then
    awk -v i="$idle" -v b="$busy" 'BEGIN {
        printf "memory: idle %.1f MB, searching %.1f MB peak: %.1f MB above idle (target <= 100)\n",
            i / 1024, b / 1024, (b - i) / 1024 }'
else
    echo "memory: not measured (neither /usr/bin/time nor python3)"
fi
