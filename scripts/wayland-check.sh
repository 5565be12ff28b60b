#!/usr/bin/env bash
# Runs the editor natively on Wayland, on a headless Weston compositor with its desktop shell (no
# X server, no XWayland), and checks that
#   - it starts on the wayland platform plug-in and its window paints (a screenshot of the
#     compositor's output shows the window over the empty desktop);
#   - a second launch with a file (and a desktop activation token) hands the file to the
#     running window and exits 0;
#   - after SIGTERM the running window's session lists that file, so it really opened it.
#
#   scripts/wayland-check.sh [PATH/TO/vendrix]     (default: build/test/app/vendrix)
#   SHOT=/tmp/wayland.png scripts/wayland-check.sh # also keeps the screenshot
#
# Needs weston and imagemagick (VENDRIX_WITH_WAYLAND=1 scripts/deps.sh) and qt6-wayland.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
editor=$(realpath "${1:-$root/build/test/app/vendrix}")
[ -x "$editor" ] || { echo "wayland-check: no editor at $editor" >&2; exit 2; }

scratch=$(mktemp -d)
pids=()
finish() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap finish EXIT
fail() {
    echo "wayland-check: $*" >&2
    for log in "$scratch"/*.log; do
        echo "--- $(basename "$log")" >&2
        tail -n 15 "$log" >&2
    done
    exit 1
}

export XDG_RUNTIME_DIR=$scratch/run XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset DISPLAY
export WAYLAND_DISPLAY=vendrix-check QT_QPA_PLATFORM=wayland

# --debug exposes the screenshot protocol.
weston --backend=headless-backend.so --use-pixman --no-config \
    --socket="$WAYLAND_DISPLAY" --width=1200 --height=800 --idle-time=0 --debug \
    >"$scratch/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || fail "weston did not start"

# screenshot FILE: the compositor's whole output.
screenshot() {
    rm -f "$scratch"/wayland-screenshot-*.png
    (cd "$scratch" && weston-screenshooter >/dev/null 2>&1) || return 1
    local shot
    shot=$(ls "$scratch"/wayland-screenshot-*.png 2>/dev/null | head -1)
    [ -n "$shot" ] && mv "$shot" "$1"
}
# differing A B: how many pixels differ between two screenshots.
differing() { compare -metric AE "$1" "$2" null: 2>&1 | cut -d. -f1 || true; }
# The empty desktop, once the shell has drawn it: two screenshots in a row nearly alike.
settled=0
for _ in $(seq 40); do
    sleep 0.5
    screenshot "$scratch/desktop-next.png" || continue
    if [ -f "$scratch/desktop.png" ] &&
        [ "$(differing "$scratch/desktop.png" "$scratch/desktop-next.png")" -lt 10000 ]; then
        settled=1
        break
    fi
    mv "$scratch/desktop-next.png" "$scratch/desktop.png"
done
[ "$settled" = 1 ] || fail "the empty desktop never settled"

printf 'first\n' >"$scratch/first.txt"
printf 'handed over\n' >"$scratch/second.txt"
"$editor" "$scratch/first.txt" >"$scratch/editor.log" 2>&1 &
editor_pid=$!
pids+=("$editor_pid")

# Paints: a fifth of the output at least differs from the empty desktop (the window covers
# most of it), in screenshots taken until the window shows (at most 20 s).
painted=0
changed=0
for _ in $(seq 40); do
    sleep 0.5
    kill -0 "$editor_pid" 2>/dev/null || fail "the editor exited"
    screenshot "$scratch/editor.png" || continue
    changed=$(differing "$scratch/desktop.png" "$scratch/editor.png")
    if [ "$changed" -gt $((1200 * 800 / 5)) ]; then
        painted=1
        [ -z "${SHOT:-}" ] || cp "$scratch/editor.png" "$SHOT"
        break
    fi
done
[ "$painted" = 1 ] || fail "no painted window on the Wayland output ($changed pixels changed)"
grep -qi "xcb\|could not load the qt platform plugin" "$scratch/editor.log" &&
    fail "the editor did not use the wayland platform plug-in"

# Hand-over: the second launch gives its file to the running window and exits 0.
status=0
XDG_ACTIVATION_TOKEN=vendrix-check-token timeout 20 "$editor" "$scratch/second.txt" \
    >"$scratch/second-launch.log" 2>&1 || status=$?
[ "$status" = 0 ] || fail "the second launch exited with status $status"
sleep 1
kill -0 "$editor_pid" 2>/dev/null || fail "the running editor exited after the hand-over"

# Quit in order and read the session: both files are open in the one window.
kill -TERM "$editor_pid"
status=0
wait "$editor_pid" || status=$?
[ "$status" = 0 ] || fail "the editor exited with status $status after SIGTERM"
session=$XDG_DATA_HOME/Vendrix/session.json
[ -f "$session" ] || fail "no session written"
grep -q "second.txt" "$session" || fail "the handed-over file is not in the session"
grep -q "first.txt" "$session" || fail "the first file is not in the session"
echo "wayland-check: the editor paints on Wayland and takes files from a second launch"
