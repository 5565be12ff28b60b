#!/usr/bin/env bash
# `vendrix-cli find LITERAL` on a 64 MB UTF-8 file against ripgrep searching the same file for
# the same literal (with line and column numbers, as find prints them; case-insensitive
# against rg -i, as find's default is). The page cache is warmed first; each tool runs five
# times and the fastest wall and CPU times count. Prints the speed of find as a fraction of
# ripgrep's (the target is at least 0.5).
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

. "$root/bench/timing.sh"

report() {
    awk -v name="$1" -v v="$2" -v r="$3" 'BEGIN {
        split(v, a, " "); split(r, b, " ");
        printf "%s\n", name;
        printf "  vendrix-cli find: %6d ms wall, %6d ms CPU\n", a[1], a[2];
        printf "  rg:               %6d ms wall, %6d ms CPU\n", b[1], b[2];
        wall = a[1] > 0 ? b[1] / a[1] : 0; cpu = a[2] > 0 ? b[2] / a[2] : 0;
        printf "  find speed relative to ripgrep: %.2fx wall, %.2fx CPU (target >= 0.5x)\n", wall, cpu;
    }'
}

# Warm the page cache and check that both tools find the same number of lines.
cat "$file" > /dev/null
find_hits=$("$cli" find zebra "$file" | tail -n 1)
rg_hits=$(rg --no-config -F -c zebra "$file")
echo "file: $((bytes >> 20)) MB; vendrix-cli: $find_hits; rg: $rg_hits matching lines"

report "find zebra (case-insensitive, the default) vs rg -i:" \
    "$(best_of_five "$cli" find zebra "$file")" \
    "$(best_of_five rg --no-config -F -i -n --column zebra "$file")"
report "find --match-case zebra vs rg:" \
    "$(best_of_five "$cli" find --match-case zebra "$file")" \
    "$(best_of_five rg --no-config -F -n --column zebra "$file")"
