#!/usr/bin/env bash
# Builds the Debian packages and checks what an operator's PC would get from them, without installing
# them: the unpacked console answers --version on its own (system Qt, no display), the menu entry is valid,
# vorn depends on the serial port and charts libraries and only suggests vorn-sim, whose simulator it does
# not hold; each package carries its copyright file, its changelog and its man page, which man renders; the
# user guide is there with its pictures; and nothing but the programs and their files is in them.
#   scripts/package-check.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}

[ -f "$build/CMakeCache.txt" ] || "$root/scripts/setup.sh" "$build"
rm -f "$build"/vorn_*.deb "$build"/vorn-sim_*.deb
cmake --build "$build" --target package -j"$(nproc)"

fail() { echo "package-check: $*" >&2; exit 1; }

one_deb() { # NAME
    local debs=("$build/$1"_*.deb)
    [ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "no single $1_*.deb in $build"
    echo "${debs[0]}"
}
vorn_deb=$(one_deb vorn)
sim_deb=$(one_deb vorn-sim)
version=$(dpkg-deb -f "$vorn_deb" Version)
[ "$(dpkg-deb -f "$sim_deb" Version)" = "$version" ] || fail "vorn-sim is not version $version"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$vorn_deb" "$tmp/vorn"
dpkg-deb -x "$sim_deb" "$tmp/vorn-sim"

got=$(env -u LD_LIBRARY_PATH -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tmp/vorn/usr/bin/vorn" --version) \
    || fail "the unpacked vorn --version failed"
[ "$(head -n 1 <<<"$got")" = "vorn $version" ] || fail "vorn --version says '$got', the package is $version"
got=$("$tmp/vorn-sim/usr/bin/dispenser-sim" --version) || fail "the unpacked dispenser-sim --version failed"
[ "$got" = "dispenser-sim $version" ] || fail "dispenser-sim --version says '$got', the package is $version"

desktop-file-validate "$tmp/vorn/usr/share/applications/vorn.desktop" || fail "the desktop entry is not valid"

# Read whole before grep: with pipefail, grep -q ending early would fail the pipe on SIGPIPE.
info=$(dpkg-deb -I "$vorn_deb")
for lib in libqt6serialport6 libqt6charts6; do
    grep -q "^ Depends:.*$lib" <<<"$info" || fail "vorn does not depend on $lib"
done
[ "$(dpkg-deb -f "$vorn_deb" Suggests)" = "vorn-sim" ] || fail "vorn does not suggest vorn-sim"
grep -q "^ Depends:.*vorn-sim" <<<"$info" && fail "vorn depends on vorn-sim"
grep -q "^ Depends:.*libqt6core6" <<<"$(dpkg-deb -I "$sim_deb")" || fail "vorn-sim does not depend on libqt6core6"

for package in vorn vorn-sim; do
    deb=$vorn_deb
    [ $package = vorn-sim ] && deb=$sim_deb
    [ "$(dpkg-deb -f "$deb" Package)" = "$package" ] || fail "$(basename "$deb") is not the package $package"
    for field in Maintainer Section Description; do
        [ -n "$(dpkg-deb -f "$deb" "$field")" ] || fail "$package has no $field"
    done
    doc=$tmp/$package/usr/share/doc/$package
    # The licence in Debian's machine-readable format, where Debian looks for it.
    grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' "$doc/copyright" ||
        fail "$package has no machine-readable copyright file"
    grep -q '^License: GPL-3+' "$doc/copyright" || fail "the copyright file of $package names no GPL-3+"
    # The changelog's newest entry is the package's version.
    gzip -dc "$doc/changelog.gz" >"$tmp/changelog"
    [ "$(dpkg-parsechangelog -l "$tmp/changelog" -S Version)" = "$version" ] ||
        fail "the changelog of $package does not start at $version"
done

# The man pages, as man shows them: a NAME, the options the program's --help gives, no build-tree path.
for page in vorn/usr/share/man/man1/vorn.1.gz vorn-sim/usr/share/man/man1/dispenser-sim.1.gz; do
    [ -f "$tmp/$page" ] || fail "no man page $page"
    text=$(MANWIDTH=80 man -l "$tmp/$page" 2>&1) || fail "man -l $page: $text"
    program=$(basename "$page" .1.gz)
    for part in NAME "$program" --help --version "SEE ALSO"; do
        grep -q -- "$part" <<<"$text" || fail "the man page $page has no '$part'"
    done
    ! grep -q -- "$build" <<<"$text" || fail "the man page $page names the build tree"
done

# The operator's guide in place of the developers' README, with every picture it shows.
guide=$tmp/vorn/usr/share/doc/vorn/user-guide.md
[ -f "$guide" ] || fail "no user guide"
[ ! -e "$tmp/vorn/usr/share/doc/vorn/README.md" ] || fail "the developers' README is in the package"
pictures=$(grep -o '!\[[^]]*\]([^)]*)' "$guide" | sed 's/.*(\(.*\))/\1/')
[ -n "$pictures" ] || fail "the user guide shows no picture"
for picture in $pictures; do
    file "$tmp/vorn/usr/share/doc/vorn/$picture" | grep -q 'PNG image' || fail "the user guide's $picture is missing"
done

expected_vorn="./usr/bin/vorn
./usr/share/applications/vorn.desktop
./usr/share/doc/vorn/changelog.gz
./usr/share/doc/vorn/console.png
./usr/share/doc/vorn/copyright
./usr/share/doc/vorn/report.png
./usr/share/doc/vorn/user-guide.md
./usr/share/icons/hicolor/128x128/apps/vorn.png
./usr/share/icons/hicolor/256x256/apps/vorn.png
./usr/share/icons/hicolor/48x48/apps/vorn.png
./usr/share/man/man1/vorn.1.gz
./usr/share/vorn/board/index.html
./usr/share/vorn/board/link.js
./usr/share/vorn/board/vendor/mqtt.min.js
./usr/share/vorn/examples/Vorn.ini
./usr/share/vorn/examples/Vorn2.ini
./usr/share/vorn/examples/mosquitto-board.acl
./usr/share/vorn/examples/mosquitto-board.conf
./usr/share/vorn/examples/mosquitto-board.passwd"
expected_sim="./usr/bin/dispenser-sim
./usr/share/doc/vorn-sim/changelog.gz
./usr/share/doc/vorn-sim/copyright
./usr/share/man/man1/dispenser-sim.1.gz"
for package in vorn vorn-sim; do
    expected=$expected_vorn
    [ $package = vorn-sim ] && expected=$expected_sim
    files=$(cd "$tmp/$package" && find . -type f | LC_ALL=C sort)
    [ "$files" = "$expected" ] || fail "unexpected files in $package:
$(diff <(echo "$expected") <(echo "$files") || true)"
done

echo "package-check: $(basename "$vorn_deb") (Depends: $(dpkg-deb -f "$vorn_deb" Depends); Suggests: vorn-sim)" \
    "and $(basename "$sim_deb") are fine"
