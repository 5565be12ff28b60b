#!/usr/bin/env bash
# `vendrix-cli find LITERAL` on a 64 MB UTF-8 file against ripgrep searching the same file for
# the same literal (with line and column numbers, as find prints them; case-insensitive
# against rg -i, as find's default is). The page cache is warmed first; each tool runs five
# times and the fastest wall and CPU times count. Prints the speed of find as a fraction of
# ripgrep's (the target is at least 0.5), and the load of the machine.
#
# Queries: "zebra" (starts with a rare letter), "printf" (ASCII, every letter frequent in
# source; without case its i also stands for İ and ı, two bytes each) and "kılavuz" (Turkish:
# ı is two bytes, and without case k also stands for the three-byte Kelvin sign), each with
# and without case. The last two are planted once in 1,000 lines, in forms both tools match.
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

# Source-like lines of mostly ASCII words with Turkish ones now and then, the literal "zebra"
# on one line in 100,000, and "printf" and "kılavuz" in some case on one line in 1,000 each.
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
        if (line % 1000 == 250)
            s = s (line % 3000 == 250 ? "printf" : line % 3000 == 1250 ? "PRINTF" : "Printf") "(x);";
        if (line % 1000 == 750)
            s = s (line % 2000 == 750 ? "kılavuz" : "Kılavuz") " ";
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

# Warm the page cache.
cat "$file" > /dev/null
echo "file: $((bytes >> 20)) MB; load: $(uptime | sed 's/.*load average: //')"

# One query both ways: checks that both tools find the same number of lines, then times them.
compare() {
    local title="$1" query="$2" find_flags="$3" rg_flags="$4"
    local find_hits rg_hits
    # shellcheck disable=SC2086
    find_hits=$("$cli" find $find_flags "$query" "$file" | tail -n 1)
    # shellcheck disable=SC2086
    rg_hits=$(rg --no-config -F -c $rg_flags "$query" "$file")
    echo "$title: vendrix-cli $find_hits, rg $rg_hits matching lines"
    # shellcheck disable=SC2086
    report "$title" \
        "$(best_of_five "$cli" find $find_flags "$query" "$file")" \
        "$(best_of_five rg --no-config -F $rg_flags -n --column "$query" "$file")"
}

compare "find zebra (case-insensitive, the default) vs rg -i" zebra "" "-i"
compare "find --match-case zebra vs rg" zebra "--match-case" ""
compare "find printf (case-insensitive) vs rg -i" printf "" "-i"
compare "find --match-case printf vs rg" printf "--match-case" ""
compare "find kılavuz (case-insensitive) vs rg -i" "kılavuz" "" "-i"
compare "find --match-case kılavuz vs rg" "kılavuz" "--match-case" ""
echo "load after: $(uptime | sed 's/.*load average: //')"
