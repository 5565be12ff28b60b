#!/usr/bin/env bash
# Checks a Vendrix .deb: its control fields, that it installs exactly the expected files under
# /usr (binaries stripped, icons at their sizes), and that what it installs passes the desktop
# tools: desktop-file-validate, appstreamcli validate --no-net, man -l without warnings, every
# option of `vendrix --help` and command of `vendrix-cli --help` in the man pages, and lintian
# with no error when lintian is installed.
#   scripts/check-package.sh build/package/vendrix_0.1.0_amd64.deb
set -euo pipefail
deb=${1:?usage: check-package.sh FILE.deb}
root=$(cd "$(dirname "$0")/.." && pwd)
app_id=com.korpla.vendrix
failures=0
fail() {
    echo "check-package: $*" >&2
    failures=$((failures + 1))
}
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
version=$(sed -n 's/^project(Vendrix VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ "$(field Package)" = vendrix ] || fail "Package is '$(field Package)', not vendrix"
[ "$(field Section)" = editors ] || fail "Section is '$(field Section)', not editors"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', not $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
depends=$(field Depends)
depended=$(sed 's/ ([^)]*)//g; s/, /\n/g' <<<"$depends")
for library in libc6 'libstdc++6' libicu72 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 \
    libplist3 libuuid1; do
    grep -Fqx "$library" <<<"$depended" || fail "Depends lacks $library: $depends"
done
grep -q qt6-wayland <<<"$(field Recommends)" || fail "Recommends lacks qt6-wayland"

# Exactly these files, all under /usr.
expected=(
    usr/bin/vendrix usr/bin/vendrix-cli
    usr/share/applications/$app_id.desktop
    usr/share/metainfo/$app_id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$app_id.svg
    usr/share/man/man1/vendrix.1.gz usr/share/man/man1/vendrix-cli.1.gz
    usr/share/doc/vendrix/copyright usr/share/doc/vendrix/changelog.gz
)
sizes=(16 32 48 64 128 256)
for size in "${sizes[@]}"; do
    expected+=("usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
actual=$(cd "$tree" && find . -type f -o -type l | sed 's|^\./||' | sort)
wanted=$(printf '%s\n' "${expected[@]}" | sort)
if [ "$actual" != "$wanted" ]; then
    fail "the package's files differ from the expected ones (< missing, > unexpected):"
    diff <(echo "$wanted") <(echo "$actual") | grep '^[<>]' >&2 || true
fi
while read -r path; do
    fail "installed outside /usr: $path"
done < <(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v -e '^\./usr/' -e '^\./$' || true)

for binary in vendrix vendrix-cli; do
    [ -x "$tree/usr/bin/$binary" ] || continue
    if readelf -S "$tree/usr/bin/$binary" | grep -Eq '\.debug_|\.symtab'; then
        fail "usr/bin/$binary is not stripped"
    fi
done
for size in "${sizes[@]}"; do
    png=$tree/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
    [ -f "$png" ] || continue
    # Width and height are the big-endian words at bytes 16 and 20 of the IHDR chunk.
    read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
    width=$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))
    height=$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))
    [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
        fail "$size px icon is ${width}x${height}"
done

# Desktop entry and metainfo, as installed.
desktop=$tree/usr/share/applications/$app_id.desktop
metainfo=$tree/usr/share/metainfo/$app_id.metainfo.xml
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $app_id.desktop"
fi
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net --pedantic "$metainfo" >"$tree/appstream.log" 2>&1 ||
        { cat "$tree/appstream.log" >&2; fail "appstreamcli rejects the metainfo"; }
    grep -q "<release version=\"$version\"" "$metainfo" ||
        fail "the metainfo has no release $version"
fi

# Man pages: rendered without warnings, and naming every option and command of --help.
for page in vendrix vendrix-cli; do
    file=$tree/usr/share/man/man1/$page.1.gz
    [ -f "$file" ] || continue
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man -l $page.1 warns: $warnings"
    [ "$(LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" 2>/dev/null | wc -l)" -gt 20 ] ||
        fail "man -l $page.1 renders almost nothing"
    zcat "$file" | sed 's/\\-/-/g' >"$tree/$page.roff"
done
if [ -x "$tree/usr/bin/vendrix" ]; then
    "$tree/usr/bin/vendrix" --version | grep -qx "Vendrix $version" || fail "vendrix --version"
    options=$("$tree/usr/bin/vendrix" --help | grep -Eo '^ +-[-a-z]+(, --[a-z]+)?' | tr -d ,)
    grep -qw -- --version <<<"$options" || fail "vendrix --help lists no --version"
    for option in $options; do
        grep -Eq -- "(^|[^-a-z])$option([^-a-z]|$)" "$tree/vendrix.roff" || fail "vendrix(1) does not describe $option"
    done
fi
if [ -x "$tree/usr/bin/vendrix-cli" ]; then
    "$tree/usr/bin/vendrix-cli" --version | grep -qx "vendrix-cli $version" ||
        fail "vendrix-cli --version"
    commands=$("$tree/usr/bin/vendrix-cli" --help | sed -n '/Commands:$/,/^$/p' |
        awk 'NR > 1 && NF {print $1}')
    [ -n "$commands" ] || fail "vendrix-cli --help lists no commands"
    for command in $commands; do
        grep -Eq "^\.BI \"?$command( |\"|$)" "$tree/vendrix-cli.roff" ||
            fail "vendrix-cli(1) does not describe the command $command"
    done
fi

if command -v lintian >/dev/null; then
    lintian --fail-on error --tag-display-limit 0 "$deb" >&2 || fail "lintian reports errors"
else
    echo "check-package: lintian is not installed; skipped" >&2
fi

if [ "$failures" -gt 0 ]; then
    echo "check-package: $failures problem(s) in $deb" >&2
    exit 1
fi
echo "check-package: $deb is sound" >&2
