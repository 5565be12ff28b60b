#!/usr/bin/env bash
# vendrix-cli format json / json-minify on a 22 MB one-line JSON file against `jq .` and
# `jq -c .` on the same file (page cache warm, output to /dev/null, best wall time of RUNS).
# Prints each time and the ratio jq / vendrix-cli. Skips the comparison when jq is absent.
#   bench/cli-format-vs-jq.sh [path/to/vendrix-cli]     (default: build/release/cli/vendrix-cli)
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

# best SECONDS: the best wall time of running the command RUNS times (stdout to /dev/null);
# fails when the command fails.
best() {
    local fastest=0
    for _ in $(seq "$runs"); do
        local start end
        start=$(date +%s%N)
        "$@" > /dev/null
        end=$(date +%s%N)
        local elapsed=$((end - start))
        if [ "$fastest" -eq 0 ] || [ "$elapsed" -lt "$fastest" ]; then fastest=$elapsed; fi
    done
    echo "$fastest"
}
seconds() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }

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
echo "vendrix-cli format json:        $(seconds "$pretty") s"
echo "vendrix-cli format json-minify: $(seconds "$minify") s"
if ! command -v jq > /dev/null; then
    echo "jq not installed: no baseline (apt-get install jq)"
    exit 0
fi
jq_pretty=$(best jq . "$file")
jq_minify=$(best jq -c . "$file")
echo "jq .:                           $(seconds "$jq_pretty") s"
echo "jq -c .:                        $(seconds "$jq_minify") s"
awk -v a="$jq_pretty" -v b="$pretty" 'BEGIN { printf "format json is %.1fx faster than jq . (target >= 15x)\n", a / b }'
awk -v a="$jq_minify" -v b="$minify" 'BEGIN { printf "json-minify is %.1fx faster than jq -c . (target >= 20x)\n", a / b }'
