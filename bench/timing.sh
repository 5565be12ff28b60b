# Sourced by the command-line benchmark scripts: the timing helper they share.

# Prints "WALL CPU" in milliseconds, each the smallest of five runs (CPU is user + system:
# on a shared machine wall time also measures the neighbours).
best_of_five() {
    local best_wall="" best_cpu="" line wall cpu
    for _ in 1 2 3 4 5; do
        line=$( { TIMEFORMAT='%R %U %S'; time "$@" > /dev/null; } 2>&1 | tail -n 1)
        wall=$(awk -v l="$line" 'BEGIN { split(l, t, " "); printf "%d", t[1] * 1000 }')
        cpu=$(awk -v l="$line" 'BEGIN { split(l, t, " "); printf "%d", (t[2] + t[3]) * 1000 }')
        if [ -z "$best_wall" ] || [ "$wall" -lt "$best_wall" ]; then best_wall=$wall; fi
        if [ -z "$best_cpu" ] || [ "$cpu" -lt "$best_cpu" ]; then best_cpu=$cpu; fi
    done
    echo "$best_wall $best_cpu"
}
