#!/usr/bin/env bash
# Cuts a mapped input short while vendrix-cli reads it, in real runs, and sorts every run by
# how it ended. Two cases, each cut staying inside the file's last page (no SIGBUS):
#   minify  format json-minify on a 50 MB one-line JSON file, cut by 34 bytes
#   find    find needle on a 20 MB file whose last line is 10 MB long, cut by 1 byte
# Each trial starts a run on a fresh copy, cuts the copy after a random delay within the
# run's usual length and waits. A sound run ends in one of three ways:
#   truncated  exit 1 with "a file was truncated while it was read" (and at most the start
#              of the uncut file's output: format writes in blocks once the input checked)
#   before     it read the file after the cut: as a run on the cut file ends
#   after      it had read everything before the cut: exit 0, the uncut file's output
# Anything else is a wrong result: the script prints it and exits 1.
#   scripts/cli-truncation-trials.sh [TRIALS] [path/to/vendrix-cli]
# (default 100 trials per case and build/release/cli/vendrix-cli). Not part of the test
# suite: it takes minutes and depends on timing.
set -euo pipefail
trials="${1:-100}"
cli="${2:-build/release/cli/vendrix-cli}"
[ -x "$cli" ] || { echo "no vendrix-cli at $cli" >&2; exit 1; }
message="vendrix-cli: a file was truncated while it was read"

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT

# pad_to_mid_page FILE TAIL: appends x's and then TAIL so that FILE ends 2048 bytes into a
# page, far from a page boundary for the cuts below.
pad_to_mid_page() {
    local size=$(($(stat -c %s "$1") + ${#2}))
    head -c $(((4096 + 2048 - size % 4096) % 4096)) /dev/zero | tr '\0' x >> "$1"
    printf '%s' "$2" >> "$1"
}

LC_ALL=C awk -v target=$((50 << 20)) 'BEGIN {
    printf "[";
    for (size = 1; size < target; ++i) {
        record = sprintf("{\"id\":%d,\"name\":\"item %d\",\"tags\":[\"a\",\"b\"],\"ok\":true},", i, i);
        printf "%s", record;
        size += length(record);
    }
    printf "{\"pad\":\"";
}' > "$dir/minify.src"
pad_to_mid_page "$dir/minify.src" '"}]'

LC_ALL=C awk -v target=$((10 << 20)) 'BEGIN {
    for (size = 0; size < target; ++i) {
        line = sprintf("line %d%s\n", i, i % 1000 ? "" : " with a needle in it");
        printf "%s", line;
        size += length(line);
    }
    for (size = 0; size < target; size += 20)
        printf "%s", size % 2000 ? "lorem ipsum dolor, " : "lorem ipsum needle, ";
}' > "$dir/find.src"
# The last hit's preview reaches the end of the file.
pad_to_mid_page "$dir/find.src" ' needle needle'

failures=0

# trial_case NAME CUT ARGS...: runs the trials of one case on $dir/NAME.src.
trial_case() {
    local name=$1 cut=$2
    shift 2
    local src="$dir/$name.src" work="$dir/$name.work"
    # The two sound outputs: the uncut file's and the cut file's (under the same name, which
    # find prints).
    local old_status=0 new_status=0
    cp "$src" "$work"
    "$cli" "$@" "$work" > "$dir/old.out" 2> "$dir/old.err" || old_status=$?
    truncate -s "-$cut" "$work"
    "$cli" "$@" "$work" > "$dir/new.out" 2> "$dir/new.err" || new_status=$?
    [ "$old_status" -eq 0 ] || { echo "$name: the uncut file fails: $(cat "$dir/old.err")" >&2; exit 1; }
    # The run's usual length in milliseconds (the shortest of three), the range of the delays.
    local length_ms=""
    for _ in 1 2 3; do
        local start end
        start=$(date +%s%N)
        "$cli" "$@" "$src" > /dev/null
        end=$(date +%s%N)
        local ms=$(((end - start) / 1000000 + 1))
        if [ -z "$length_ms" ] || [ "$ms" -lt "$length_ms" ]; then length_ms=$ms; fi
    done

    local truncated=0 partial=0 before=0 after=0 late=0 wrong=0
    for _ in $(seq "$trials"); do
        rm -f "$work"
        cp "$src" "$work"
        local status=0 delay=$((RANDOM * length_ms / 32768))
        "$cli" "$@" "$work" > "$dir/out" 2> "$dir/err" &
        local pid=$!
        sleep "$((delay / 1000)).$(printf '%03d' $((delay % 1000)))"
        local during=1
        kill -0 "$pid" 2> /dev/null || during=0
        truncate -s "-$cut" "$work"
        wait "$pid" || status=$?
        local out_size
        out_size=$(stat -c %s "$dir/out")
        if [ "$status" -eq 1 ] && [ "$(cat "$dir/err")" = "$message" ] &&
            cmp -s -n "$out_size" "$dir/out" "$dir/old.out"; then
            truncated=$((truncated + 1))
            [ "$out_size" -eq 0 ] || partial=$((partial + 1))
        elif [ "$status" -eq "$new_status" ] && cmp -s "$dir/out" "$dir/new.out" &&
            cmp -s "$dir/err" "$dir/new.err"; then
            before=$((before + 1))
        elif [ "$status" -eq 0 ] && cmp -s "$dir/out" "$dir/old.out" && [ ! -s "$dir/err" ]; then
            if [ "$during" -eq 1 ]; then after=$((after + 1)); else late=$((late + 1)); fi
        else
            wrong=$((wrong + 1))
            echo "$name: wrong result after ${delay} ms: exit $status, $out_size bytes out," \
                "stderr: $(head -c 200 "$dir/err")" >&2
        fi
    done
    echo "$name ($* FILE, cut by $cut bytes, runs of about $length_ms ms): $trials trials:" \
        "$truncated truncated (exit 1; $partial after part of the output), $before before, $after after, $late ended before" \
        "the cut, $wrong wrong"
    failures=$((failures + wrong))
}

trial_case minify 34 format json-minify
trial_case find 1 find needle
[ "$failures" -eq 0 ]
