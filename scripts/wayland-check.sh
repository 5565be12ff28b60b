#!/usr/bin/env bash
# Runs the editor natively on Wayland, on a headless Weston compositor (no X server, no
# XWayland), and checks that
#   - it starts on the wayland platform plug-in and its window paints (a screenshot of the
#     compositor's output shows the window, not the empty background);
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

# The kiosk shell shows the one window full-screen over a black background; --debug exposes the
# screenshot protocol.
weston --backend=headless-backend.so --use-pixman --shell=kiosk-shell.so --no-config \
    --socket="$WAYLAND_DISPLAY" --width=1200 --height=800 --idle-time=0 --debug \
    >"$scratch/weston.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || fail "weston did not start"

printf 'first\n' >"$scratch/first.txt"
printf 'handed over\n' >"$scratch/second.txt"
"$editor" "$scratch/first.txt" >"$scratch/editor.log" 2>&1 &
editor_pid=$!
pids+=("$editor_pid")

# Paints: the share of the output that is not the black background, from screenshots taken
# until the window shows (at most 20 s).
painted=0
for _ in $(seq 40); do
    sleep 0.5
    kill -0 "$editor_pid" 2>/dev/null || fail "the editor exited"
    rm -f "$scratch"/wayland-screenshot-*.png
    (cd "$scratch" && weston-screenshooter >/dev/null 2>&1) || continue
    shot=$(ls "$scratch"/wayland-screenshot-*.png 2>/dev/null | head -1)
    [ -n "$shot" ] || continue
    # Fraction of pixels brighter than the background, and the number of colours.
    lit=$(convert "$shot" -colorspace Gray -threshold 8% -format '%[fx:mean]' info:)
    colours=$(convert "$shot" -format '%k' info:)
    if awk -v lit="$lit" -v colours="$colours" 'BEGIN { exit !(lit > 0.5 && colours > 16) }'; then
        painted=1
        [ -z "${SHOT:-}" ] || cp "$shot" "$SHOT"
        break
    fi
done
[ "$painted" = 1 ] || fail "no painted window on the Wayland output (lit $lit, colours $colours)"
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
