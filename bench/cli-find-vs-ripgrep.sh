#!/usr/bin/env bash
# `vendrix-cli find LITERAL` on a 64 MB UTF-8 file against ripgrep searching the same file for
# the same literal (with line and column numbers, as find prints them). The page cache is
# warmed first; each tool runs five times and the fastest wall time counts. Prints the speed
# of find as a fraction of ripgrep's (the target is at least 0.5).
#
#   bench/cli-find-vs-ripgrep.sh [path/to/vendrix-cli]   (default: build/release/cli/vendrix-cli)
#
# Skips (exit 0) when ripgrep is not installed (apt-get install ripgrep).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$root/build/release/cli/vendrix-cli}"
if ! command -v rg >/dev/null 2>&1; then
    echo "ripgrep (rg) is not installed: skipped."
    exit 0
fi
if [ ! -x "$cli" ]; then
    echo "no vendrix-cli at $cli (build the release tree first)" >&2
    exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
file="$work/big.txt"

# Source-like lines of mostly ASCII words with Turkish ones now and then, and the literal
# "zebra" on one line in 100,000.
awk -v target=$((64 << 20)) 'BEGIN {
    srand(42);
    n = split("int return value for while const if else data count index { } (); =_0; size string loading", w, " ");
    size = 0; line = 0;
    while (size < target) {
        s = "";
        for (k = 0; k < 12; k++) {
            r = int(rand() * 50);
            s = s (r == 0 ? "çalış" : (r == 1 ? "ğüş" : w[1 + int(rand() * n)])) " ";
        }
        if (++line % 100000 == 0)
            s = s "zebra";
        print s;
        size += length(s) + 1;
    }
}' > "$file"
bytes=$(stat -c %s "$file")

best_of_five() {
    local best="" t start end
    for _ in 1 2 3 4 5; do
        start=$(date +%s%N)
        "$@" > /dev/null
        end=$(date +%s%N)
        t=$(( (end - start) / 1000 ))
        if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
    done
    echo "$best"
}

# Warm the page cache and check that both tools find the same number of lines.
cat "$file" > /dev/null
find_hits=$("$cli" find zebra "$file" | tail -n 1)
rg_hits=$(rg --no-config -F -c zebra "$file")
echo "file: $((bytes >> 20)) MB; vendrix-cli: $find_hits; rg: $rg_hits matching lines"

vendrix_us=$(best_of_five "$cli" find zebra "$file")
rg_us=$(best_of_five rg --no-config -F -n --column zebra "$file")
awk -v v="$vendrix_us" -v r="$rg_us" 'BEGIN {
    printf "vendrix-cli find zebra: %8.1f ms\n", v / 1000;
    printf "rg -F -n --column zebra: %7.1f ms\n", r / 1000;
    printf "find speed relative to ripgrep: %.2fx (target >= 0.5x)\n", r / v;
}'

# A case-insensitive literal, which rg answers with its own case folding.
vendrix_i_us=$(best_of_five "$cli" find Zebra "$file")
rg_i_us=$(best_of_five rg --no-config -F -i -n --column Zebra "$file")
awk -v v="$vendrix_i_us" -v r="$rg_i_us" 'BEGIN {
    printf "without case: vendrix-cli %.1f ms, rg -i %.1f ms: %.2fx\n", v / 1000, r / 1000, r / v;
}'
