#!/usr/bin/env bash
# Installs what is missing, builds Vendrix in Release and starts the editor on the given files.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
build="$root/build/release"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DVENDRIX_BUILD_TESTS=OFF -DVENDRIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target vendrix vendrix-cli
if [ -x "$build/app/vendrix" ]; then
    exec "$build/app/vendrix" "$@"
fi
exec "$build/cli/vendrix-cli" --help
