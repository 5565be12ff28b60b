#!/usr/bin/env bash
# Reads the real editor the way a screen reader does: starts a private X server (Xvfb), a
# private session bus with the AT-SPI bus on it, runs Vendrix on two files with Qt's AT-SPI
# bridge switched on, and checks over AT-SPI (python3-pyatspi) that the text object holds the
# document's text and caret and is editable, that typing shows up in it, that the tabs are
# page tabs named after the files and that the status fields have text.
#
#   scripts/check-accessibility.sh [PATH/TO/vendrix]     # default: build/test/app/vendrix
#
# Needs xvfb, xdotool, dbus, at-spi2-core and python3-pyatspi (scripts/deps.sh installs them).
# Takes a few seconds; the test suite runs it as "app_atspi".
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
vendrix=${1:-$root/build/test/app/vendrix}
[ -x "$vendrix" ] || { echo "check-accessibility: no executable at $vendrix" >&2; exit 1; }
launcher=/usr/libexec/at-spi-bus-launcher
for tool in Xvfb xdotool dbus-daemon "$launcher"; do
    command -v "$tool" >/dev/null || {
        echo "check-accessibility: $tool is missing (scripts/deps.sh installs it)" >&2; exit 1; }
done
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || {
    echo "check-accessibility: python3-pyatspi is missing (scripts/deps.sh installs it)" >&2; exit 1; }

scratch=$(mktemp -d)
pids=()
cleanup() {
    local i
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
export XDG_DATA_HOME=$scratch/data XDG_CONFIG_HOME=$scratch/config XDG_RUNTIME_DIR=$scratch/run
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

display=90
while [ -e /tmp/.X11-unix/X$display ] || [ -e /tmp/.X$display-lock ]; do display=$((display + 1)); done
Xvfb :$display -screen 0 1280x800x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=:$display
for _ in $(seq 100); do [ -e /tmp/.X11-unix/X$display ] && break; sleep 0.05; done

# A session bus of our own, and the accessibility bus the launcher starts beside it.
dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$scratch/bus" \
    >"$scratch/dbus.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [ -s "$scratch/bus" ] && break; sleep 0.05; done
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$scratch/bus")
export DBUS_SESSION_BUS_ADDRESS
"$launcher" --launch-immediately >"$scratch/launcher.log" 2>&1 &
pids+=($!)

printf 'Merhaba dünya\nİkinci satır: ğüşöç 😀\n' >"$scratch/notlar.txt"
printf 'elma\narmut\n' >"$scratch/liste.txt"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb QT_ACCESSIBILITY=1
"$vendrix" -- "$scratch/notlar.txt" "$scratch/liste.txt" >"$scratch/vendrix.log" 2>&1 &
app=$!
pids+=($app)

if ! timeout 60 /usr/bin/python3 "$root/scripts/check-accessibility.py" "$app" \
    "$scratch/notlar.txt" "$scratch/liste.txt"; then
    echo "check-accessibility: failed; the editor's output:" >&2
    tail -20 "$scratch/vendrix.log" >&2
    exit 1
fi
