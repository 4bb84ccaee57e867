#!/usr/bin/env bash
# Builds the Debian package and checks what an operator's PC would get from it, without installing it:
# the unpacked console answers --version on its own (system Qt, no display), the menu entry is valid,
# the package depends on the serial port and charts libraries and carries its copyright file, and nothing
# but the programs and their files is in it.
#   scripts/package-check.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}

[ -f "$build/CMakeCache.txt" ] || "$root/scripts/setup.sh" "$build"
rm -f "$build"/vorn_*.deb
cmake --build "$build" --target package -j"$(nproc)"
debs=("$build"/vorn_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "package-check: no single vorn_*.deb in $build" >&2; exit 1; }
deb=${debs[0]}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp"

fail() { echo "package-check: $*" >&2; exit 1; }

version=$(dpkg-deb -f "$deb" Version)
got=$(env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tmp/usr/bin/vorn" --version) \
    || fail "the unpacked vorn --version failed"
[ "$got" = "vorn $version" ] || fail "vorn --version says '$got', the package is $version"

desktop-file-validate "$tmp/usr/share/applications/vorn.desktop" || fail "the desktop entry is not valid"

# Read whole before grep: with pipefail, grep -q ending early would fail the pipe on SIGPIPE.
info=$(dpkg-deb -I "$deb")
for lib in libqt6serialport6 libqt6charts6; do
    grep -q "Depends:.*$lib" <<<"$info" || fail "the package does not depend on $lib"
done
# The licence in Debian's machine-readable format, where Debian looks for it.
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$tmp/usr/share/doc/vorn/copyright" || fail "the package has no machine-readable copyright file"
grep -q '^License: GPL-3+' "$tmp/usr/share/doc/vorn/copyright" || fail "the copyright file names no GPL-3+"
for field in Maintainer Section Description; do
    [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "the package has no $field"
done

expected="./usr/bin/dispenser-sim
./usr/bin/vorn
./usr/share/applications/vorn.desktop
./usr/share/doc/vorn/README.md
./usr/share/doc/vorn/copyright
./usr/share/icons/hicolor/128x128/apps/vorn.png
./usr/share/icons/hicolor/256x256/apps/vorn.png
./usr/share/icons/hicolor/48x48/apps/vorn.png
./usr/share/vorn/board/index.html
./usr/share/vorn/board/vendor/mqtt.min.js
./usr/share/vorn/examples/Vorn.ini
./usr/share/vorn/examples/Vorn2.ini
./usr/share/vorn/examples/mosquitto-board.acl
./usr/share/vorn/examples/mosquitto-board.conf
./usr/share/vorn/examples/mosquitto-board.passwd"
files=$(cd "$tmp" && find . -type f | LC_ALL=C sort)
[ "$files" = "$expected" ] || fail "unexpected files in the package:
$(diff <(echo "$expected") <(echo "$files") || true)"

echo "package-check: $(basename "$deb") is fine ($(dpkg-deb -f "$deb" Depends))"
