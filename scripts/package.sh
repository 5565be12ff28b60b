#!/usr/bin/env bash
# Builds the Debian package of Vendrix (vendrix_VERSION_ARCH.deb) and checks it.
#
#   scripts/package.sh               Release build in build/package, then cpack -G DEB there
#   scripts/package.sh --from DIR    packages DIR, a build directory that is already built
#                                    (CI packages its optimised test build: the package holds
#                                    only what is installed, stripped, so the tests stay out)
#   --check                          then checks what the package installs: the desktop entry
#                                    (desktop-file-validate), the AppStream metainfo
#                                    (appstreamcli validate --no-net), the man pages (man -l
#                                    without warnings, every option and command documented),
#                                    the control fields and the file list (dpkg-deb), and
#                                    lintian with no error when lintian is installed
#
# Prints the path of the .deb on its last line.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
from=""
check=0
while [ $# -gt 0 ]; do
    case $1 in
    --from) from=${2:?--from needs a build directory}; shift 2 ;;
    --check) check=1; shift ;;
    -h | --help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "package.sh: unknown argument $1" >&2; exit 2 ;;
    esac
done

if [ -z "$from" ]; then
    "$root/scripts/deps.sh"
    build="$root/build/package"
    # Debian's hardening flags, as a distribution build would use them.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_C_FLAGS="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
        -DVENDRIX_BUILD_TESTS=OFF -DVENDRIX_BUILD_BENCH=OFF >/dev/null
    cmake --build "$build" -j "$(nproc)"
else
    build=$(cd "$from" && pwd)
fi

rm -f "$build"/vendrix_*.deb
(cd "$build" && cpack -G DEB >"$build/cpack.log" 2>&1) || { cat "$build/cpack.log" >&2; exit 1; }
deb=$(ls "$build"/vendrix_*.deb)

if [ "$check" = 1 ]; then
    "$root/scripts/check-package.sh" "$deb"
fi
echo "$deb"
