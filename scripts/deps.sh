#!/usr/bin/env bash
# Installs the Debian 12 packages Vendrix needs to build, test and run, when any is missing.
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    libicu-dev nlohmann-json3-dev libplist-dev uuid-dev
    qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
    qt6-translations-l10n
    libgtest-dev libgmock-dev libbenchmark-dev
    # The Wayland platform plug-in, so the editor runs natively on Wayland sessions.
    qt6-wayland
    # Desktop integration and the Debian package: icons rendered from the SVG, the validators
    # of the desktop entry and the AppStream metainfo, man, dpkg-shlibdeps and lintian.
    librsvg2-bin desktop-file-utils appstream man-db dpkg-dev lintian
    # The end-to-end accessibility check (scripts/check-accessibility.sh, run by the tests):
    # a private X server and session bus, the AT-SPI bus and a Python client of it.
    xvfb xdotool dbus at-spi2-core python3-pyatspi
)
if [ "${VENDRIX_WITH_X:-0}" = 1 ]; then
    packages+=(imagemagick)
fi
# scripts/wayland-check.sh runs the editor on a headless Weston compositor.
if [ "${VENDRIX_WITH_WAYLAND:-0}" = 1 ]; then
    packages+=(weston imagemagick)
fi
# The command-line benchmark scripts in bench/ compare against these; they skip without them.
# Geany is the baseline editor of scripts/bench-huge.sh, bench-latency.sh and bench-startup.sh;
# the last two build their X probe (scripts/xlatency.c) against libX11 and XTest.
if [ "${VENDRIX_WITH_BENCH_TOOLS:-0}" = 1 ]; then
    packages+=(ripgrep geany libx11-dev libxtst-dev)
fi

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}" >&2
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
