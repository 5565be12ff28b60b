#!/usr/bin/env bash
# vendrix-cli format json / json-minify on a 22 MB one-line JSON file against `jq .` and
# `jq -c .` on the same file (page cache warm, output to /dev/null, best wall time of RUNS).
# Prints each time and the ratio jq / vendrix-cli. Skips the comparison when jq is absent.
#   bench/cli-format-vs-jq.sh [path/to/vendrix-cli]     (default: build/release/cli/vendrix-cli)
# BASELINE_CLI=path/to/an/older/vendrix-cli times that one as well, for before/after figures.
set -euo pipefail
cli="${1:-build/release/cli/vendrix-cli}"
runs="${RUNS:-5}"
[ -x "$cli" ] || { echo "no vendrix-cli at $cli" >&2; exit 1; }

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
file="$dir/big.json"
# The records of the editor's pretty-on-open benchmark: ASCII and Turkish text, numbers,
# nested arrays; one line of 22 MiB.
LC_ALL=C awk -v target=$((22 << 20)) 'BEGIN {
    printf "[";
    size = 1;
    for (i = 0; size < target; ++i) {
        record = sprintf("%s{\"id\":%d,\"name\":\"item çalış %d\",\"tags\":[\"a\",\"b\"],\"ok\":true,\"v\":1.5e3}",
                         i ? "," : "", i, i);
        printf "%s", record;
        size += length(record);
    }
    printf "]\n";
}' > "$file"

# best COMMAND...: "WALL CPU", the best wall time and the best CPU time (user + system) in
# seconds of RUNS runs with stdout to /dev/null; fails when the command fails. The CPU time
# is the fairer figure on a machine whose cores are shared.
best() {
    local runs_out=""
    for _ in $(seq "$runs"); do
        local TIMEFORMAT='%R %U %S'
        runs_out+="$({ time "$@" > /dev/null 2> /dev/null; } 2>&1)"$'\n'
    done
    awk 'NF == 3 { w = $1; c = $2 + $3; if (!n++ || w < bw) bw = w; if (n == 1 || c < bc) bc = c }
         END { printf "%.3f %.3f\n", bw, bc }' <<< "$runs_out"
}
wall() { echo "${1% *}"; }
cpu() { echo "${1#* }"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.1f", (b > 0 ? a / b : 0) }'; }

# The formatter's output must be complete: pretty is longer than the input, minify as long.
pretty_bytes=$("$cli" format json "$file" | wc -c)
minify_bytes=$("$cli" format json-minify "$file" | wc -c)
input_bytes=$(wc -c < "$file")
echo "input $input_bytes bytes; pretty output $pretty_bytes bytes; minified $minify_bytes bytes"
[ "$pretty_bytes" -gt "$input_bytes" ] && [ "$minify_bytes" -eq "$input_bytes" ] ||
    { echo "unexpected output sizes" >&2; exit 1; }

cat "$file" > /dev/null # page cache warm
pretty=$(best "$cli" format json "$file")
minify=$(best "$cli" format json-minify "$file")
echo "vendrix-cli format json:        wall $(wall "$pretty") s, cpu $(cpu "$pretty") s"
echo "vendrix-cli format json-minify: wall $(wall "$minify") s, cpu $(cpu "$minify") s"
if [ -n "${BASELINE_CLI:-}" ]; then
    old_pretty=$(best "$BASELINE_CLI" format json "$file")
    old_minify=$(best "$BASELINE_CLI" format json-minify "$file")
    echo "baseline format json:           wall $(wall "$old_pretty") s, cpu $(cpu "$old_pretty") s"
    echo "baseline format json-minify:    wall $(wall "$old_minify") s, cpu $(cpu "$old_minify") s"
fi
if ! command -v jq > /dev/null; then
    echo "jq not installed: no baseline (apt-get install jq)"
    exit 0
fi
jq_pretty=$(best jq . "$file")
jq_minify=$(best jq -c . "$file")
echo "jq .:                           wall $(wall "$jq_pretty") s, cpu $(cpu "$jq_pretty") s"
echo "jq -c .:                        wall $(wall "$jq_minify") s, cpu $(cpu "$jq_minify") s"
echo "format json vs jq .:     $(ratio "$(wall "$jq_pretty")" "$(wall "$pretty")")x wall," \
     "$(ratio "$(cpu "$jq_pretty")" "$(cpu "$pretty")")x cpu (target >= 15x)"
echo "json-minify vs jq -c .:  $(ratio "$(wall "$jq_minify")" "$(wall "$minify")")x wall," \
     "$(ratio "$(cpu "$jq_minify")" "$(cpu "$minify")")x cpu (target >= 20x)"
if [ -n "${BASELINE_CLI:-}" ]; then
    echo "baseline: format json vs jq .: $(ratio "$(wall "$jq_pretty")" "$(wall "$old_pretty")")x wall," \
         "$(ratio "$(cpu "$jq_pretty")" "$(cpu "$old_pretty")")x cpu;" \
         "json-minify vs jq -c .: $(ratio "$(wall "$jq_minify")" "$(wall "$old_minify")")x wall," \
         "$(ratio "$(cpu "$jq_minify")" "$(cpu "$old_minify")")x cpu"
fi
