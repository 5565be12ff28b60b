#!/usr/bin/env bash
# Installs what is missing, builds everything and runs the whole test suite twice: once in an
# optimised build and once with AddressSanitizer and UndefinedBehaviorSanitizer, each over the
# core, the command-line tool and the Qt shell (offscreen). Benchmarks stay out of the latter.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh"
jobs=$(nproc)

export QT_QPA_PLATFORM=offscreen
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
export XDG_DATA_HOME="$scratch/data" XDG_CONFIG_HOME="$scratch/config"
export XDG_RUNTIME_DIR="$scratch/runtime"
mkdir -p "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

echo "== Optimised build and tests"
cmake -S "$root" -B "$root/build/test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build/test" -j "$jobs"
ctest --test-dir "$root/build/test" --output-on-failure -j "$jobs"

echo "== Package from the optimised build: desktop entry, metainfo, man pages, .deb contents"
"$root/scripts/package.sh" --from "$root/build/test" --check >/dev/null

echo "== Sanitizer build (ASan + UBSan) and core, command-line and shell tests"
cmake -S "$root" -B "$root/build/asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVENDRIX_SANITIZE=ON \
    -DVENDRIX_BUILD_BENCH=OFF >/dev/null
cmake --build "$root/build/asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$root/build/asan" --output-on-failure -j "$jobs" -L 'core|app'
