# Sourced by the benchmark scripts that run the real editor and Geany side by side: a private
# Xvfb (DISPLAY exported), a work folder ($work, deleted on exit) with throw-away XDG homes, and
# the helpers to wait for a process's window and for its CPU time to stand still.
#   . scripts/xvfb-bench.sh        # then: started=$(launch CMD...); settle_pid "$started"
work=$(mktemp -d /tmp/vendrix-bench.XXXXXX)
display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb :$display -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
bench_pids=()
bench_cleanup() {
    local p
    for p in "${bench_pids[@]}"; do kill -KILL "$p" 2>/dev/null || true; done
    kill "$xvfb" 2>/dev/null || true
    rm -rf "$work"
}
trap bench_cleanup EXIT
export DISPLAY=:$display
for _ in $(seq 50); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.1; done
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache
export XDG_RUNTIME_DIR=$work/runtime # no hand-over to an editor already running elsewhere
mkdir -m 700 -p "$XDG_RUNTIME_DIR"

ticks() { awk '{print $14 + $15}' "/proc/$1/stat" 2>/dev/null || echo -1; }
rss() { awk '/VmRSS/ {printf "%.0f", $2 / 1024}' "/proc/$1/status" 2>/dev/null || echo 0; }
pss() { awk '/^Pss:/ {printf "%.0f", $2 / 1024}' "/proc/$1/smaps_rollup" 2>/dev/null || echo 0; }

# The first visible window of process $1, waiting up to $2 seconds (default 60); empty when
# the process ended or none appeared.
window_of() {
    local pid=$1 limit=$(( ${2:-60} * 20 )) w=""
    for _ in $(seq "$limit"); do
        w=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null | head -n 1 || true)
        [ -n "$w" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    echo "$w"
}

# Waits until the CPU time of process $1 stands still for half a second (at most $2 seconds,
# default 300); prints the time it settled at (date +%s.%N), or nothing after the limit.
settle_pid() {
    local pid=$1 limit=${2:-300} begin=$SECONDS last now quiet=0 settledAt=""
    last=$(ticks "$pid")
    while [ $quiet -lt 10 ]; do
        [ $((SECONDS - begin)) -ge "$limit" ] && return 0
        kill -0 "$pid" 2>/dev/null || return 0
        sleep 0.05
        now=$(ticks "$pid")
        if [ "$now" = "$last" ]; then
            [ $quiet -eq 0 ] && settledAt=$(date +%s.%N)
            quiet=$((quiet + 1))
        else
            quiet=0
        fi
        last=$now
    done
    echo "$settledAt"
}

# Ends process $1: SIGTERM (the orderly quit) or signal $2, SIGKILL when it still runs after
# 3 s.
stop_pid() {
    kill -"${2:-TERM}" "$1" 2>/dev/null || return 0
    for _ in $(seq 30); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$1" 2>/dev/null || true
    wait "$1" 2>/dev/null || true
}
