#!/usr/bin/env bash
# Cross-builds the console for 64-bit Windows on Debian 12: one vorn.exe that runs alone, its tests,
# build-windows/vorn-<version>-windows-x64.zip (portable) and build-windows/vorn-<version>-setup.exe (a
# per-user installer made with NSIS).
#   scripts/windows-build.sh [--qt-only]
# The static Qt it links is built once into a cache outside the checkout, $VORN_QT_MINGW (default
# /opt/vorn-qt-mingw-6.4.2), and rebuilt only when missing or incomplete: each part writes its stamp
# file when it is installed, and the cache is complete when the last stamp is there. OpenSSL and
# libmosquitto go into the same cache with stamps of their own, so a cache made before they were added is
# extended, not made again. The time each step took goes to $VORN_QT_MINGW/build-times.txt. The sources of
# Qt Serial Port and Qt Charts are tarballs in $VORN_QT_VENDOR (default ../shared/vendor beside the
# checkout); qtbase, OpenSSL and libmosquitto come from Debian.
# Signing: when $VORN_SIGN_COMMAND is set, it is run with one file name appended for vorn.exe, the
# uninstaller and the installer (e.g. VORN_SIGN_COMMAND="osslsigncode-wrapper.sh"); it must sign that file
# in place and exit 0. Unset, nothing is signed.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
qt=${VORN_QT_MINGW:-/opt/vorn-qt-mingw-6.4.2}
work=${VORN_QT_MINGW_WORK:-/var/tmp/vorn-qt-mingw-work}
vendor=${VORN_QT_VENDOR:-$root/../shared/vendor}
build=$root/build-windows
toolchain=$root/cmake/mingw-w64-x86_64.cmake
qt_only=0
[ "${1:-}" = "--qt-only" ] && qt_only=1

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
jobs=$(nproc)
unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER # the Qt build would fill the compiler cache

# What a step took, in seconds, to the log and to the cache's record: the time on the clock, and the
# processor time of its compilers (user and system), which says what it costs on idle cores when the
# machine was shared.
cpu_seconds() { # of this script's finished child processes so far
    awk '{ print int(($16 + $17) / 100) }' "/proc/$$/stat"
}
step_start() {
    step_name=$1
    step_t0=$(date +%s)
    step_cpu0=$(cpu_seconds)
    echo "== $step_name ($(date -u +%H:%M:%S) UTC)"
}
step_end() {
    local secs=$(($(date +%s) - step_t0)) cpu=$(($(cpu_seconds) - step_cpu0))
    echo "== $step_name: ${secs} s (processor ${cpu} s)"
    if [ -d "$qt" ]; then echo "$(date -u +%F) $step_name ${secs}s cpu ${cpu}s" >>"$qt/build-times.txt"; fi
}

# --- packages -------------------------------------------------------------------------------------------
# MinGW-w64 with POSIX threads, ninja, wine64 to run the result; dpkg-dev for apt-get source; the host's Qt
# for moc, rcc and uic and g++ to draw the icon with it; perl and make for OpenSSL's build; zip and NSIS for
# the packages; Xvfb for the end-to-end run.
packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 ninja-build
    wine64 dpkg-dev xz-utils zip unzip cmake pkgconf qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-l10n-tools g++ xvfb xauth perl make nsis)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    step_start "packages: ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    step_end
fi

# A deb-src entry for one apt-get source call, removed afterwards.
# Extra options go to apt-get source (--download-only: the files as they are, not unpacked).
debian_source() { # PACKAGE INTO [OPTION...]
    local list=/etc/apt/sources.list.d/vorn-windows-src.sources
    trap '$sudo rm -f '"$list" EXIT
    printf '%s\n' "Types: deb-src" "URIs: http://deb.debian.org/debian" \
        "Suites: bookworm bookworm-updates" "Components: main" \
        "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" "" \
        "Types: deb-src" "URIs: http://deb.debian.org/debian-security" "Suites: bookworm-security" \
        "Components: main" "Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg" |
        $sudo tee "$list" >/dev/null
    $sudo apt-get update -qq
    local status=0
    (cd "$2" && apt-get source -qq "${@:3}" "$1" >/dev/null 2>&1) || status=$?
    $sudo rm -f "$list"
    trap - EXIT
    return $status
}

# --- the static Qt --------------------------------------------------------------------------------------
qt_version=6.4.2
# What the console uses: Core, Gui (QPdfWriter included), Widgets, Test, Serial Port, Charts. Left out:
# OpenGL, D-Bus, SQL, network, print support, tablet events (Debian's tarball lacks wintab.h), and every
# third-party library Qt can bring itself, so nothing of the build machine's /usr is linked.
qtbase_options=(-static -release -opensource -confirm-license -xplatform win32-g++ -qt-host-path /usr
    -nomake examples -nomake tests -no-opengl -no-dbus -no-feature-sql -no-feature-network
    -no-feature-printsupport -no-feature-tabletevent -no-pkg-config -qt-zlib -qt-libpng -qt-libjpeg
    -qt-pcre -qt-harfbuzz -qt-freetype -no-icu)
# Qt remembers the toolchain file it was built with (its own toolchain file loads it): it gets a copy of
# ours inside the cache, so the cache does not depend on the checkout it was made from.
host_cmake=(-DCMAKE_TOOLCHAIN_FILE="$qt/mingw-w64-x86_64.cmake" -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
complete_stamp="qtbase serialport charts $qt_version ${qtbase_options[*]}"

if [ "$(cat "$qt/.vorn-complete" 2>/dev/null)" != "$complete_stamp" ]; then
    # Options changed since the cache was made: start it again.
    if [ -e "$qt/.vorn-qtbase" ] && [ "$(cat "$qt/.vorn-qtbase")" != "${qtbase_options[*]}" ]; then
        $sudo rm -rf "$qt"
    fi
    $sudo mkdir -p "$qt" "$work"
    $sudo chown "$(id -u):$(id -g)" "$qt" "$work"
    cp "$toolchain" "$qt/mingw-w64-x86_64.cmake"

    if [ ! -e "$qt/.vorn-qtbase" ]; then
        # A configured build tree of an interrupted run (its stamp names the same options and prefix) is
        # built on: ninja takes up where it stopped instead of compiling qtbase's 1,139 steps again.
        configured="$qt ${qtbase_options[*]}"
        if [ "$(cat "$work/qtbase/.vorn-configured" 2>/dev/null)" != "$configured" ] ||
            [ ! -e "$work/qtbase/build/build.ninja" ]; then
            step_start "qtbase source"
            rm -rf "$work/qtbase"
            mkdir -p "$work/qtbase"
            debian_source qt6-base "$work/qtbase"
            src=$(find "$work/qtbase" -maxdepth 1 -mindepth 1 -type d -name 'qt6-base-*' | head -1)
            grep -q "QT_REPO_MODULE_VERSION \"$qt_version\"" "$src/.cmake.conf"
            step_end

            step_start "qtbase configure"
            mkdir -p "$work/qtbase/build"
            (cd "$work/qtbase/build" && "$src/configure" -prefix "$qt" "${qtbase_options[@]}" -- "${host_cmake[@]}")
            echo "$configured" >"$work/qtbase/.vorn-configured"
            step_end
        fi

        step_start "qtbase build"
        cmake --build "$work/qtbase/build" --parallel "$jobs"
        step_end

        step_start "qtbase install"
        cmake --install "$work/qtbase/build" >/dev/null
        echo "${qtbase_options[*]}" >"$qt/.vorn-qtbase"
        step_end
    fi

    for module in serialport charts; do
        [ -e "$qt/.vorn-$module" ] && continue
        [ -e "$vendor/qt$module-$qt_version.tar.xz" ] ||
            { echo "No $vendor/qt$module-$qt_version.tar.xz: set VORN_QT_VENDOR to its folder" >&2 && exit 1; }
        step_start "qt$module"
        rm -rf "$work/qt$module"
        mkdir -p "$work/qt$module/build"
        tar -xJf "$vendor/qt$module-$qt_version.tar.xz" -C "$work/qt$module"
        src=$(find "$work/qt$module" -maxdepth 1 -mindepth 1 -type d -name "qt$module*" | head -1)
        # Qt's own toolchain file (which loads ours) and the host's tools.
        (cd "$work/qt$module/build" && "$qt/bin/qt-configure-module" "$src" -- -DQT_HOST_PATH=/usr \
            -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake)
        cmake --build "$work/qt$module/build" --parallel "$jobs"
        cmake --install "$work/qt$module/build" >/dev/null
        echo "$qt_version" >"$qt/.vorn-$module"
        step_end
    done

    echo "$complete_stamp" >"$qt/.vorn-complete"
    rm -rf "$work/qtbase" "$work/qtserialport" "$work/qtcharts"
fi

# --- OpenSSL, for TLS to the shop's broker ---------------------------------------------------------------
# Debian has no OpenSSL for MinGW: its source package's upstream tarball (apt-get source fetches it and
# checks it against the signed source index; the rest of the source package may not be on the mirror, so
# only the tarball is used), cross-built as static libraries without the command-line tool.
openssl=$qt/openssl
openssl_options=(mingw64 no-shared no-tests --cross-compile-prefix=x86_64-w64-mingw32-)
# The folders OpenSSL looks in at run time (openssl.cnf, engines, providers) are compiled in. Configured on
# Linux they would be Unix paths, which Windows reads as C:\usr\local\ssl: a folder any user may create,
# and whose openssl.cnf would then load code into the console. Windows folders only an administrator can
# write take their place (OpenSSL's own defaults for this target when built on Windows).
openssl_run_dirs=("OPENSSLDIR=C:/Program Files/Common Files/SSL" "ENGINESDIR=C:/Program Files/OpenSSL/lib/engines-3"
    "MODULESDIR=C:/Program Files/OpenSSL/lib/ossl-modules")
openssl_stamp="${openssl_options[*]} ${openssl_run_dirs[*]}"
if [ "$(cat "$openssl/.vorn-openssl" 2>/dev/null)" != "$openssl_stamp" ]; then
    step_start "openssl"
    rm -rf "$work/openssl" "$openssl"
    mkdir -p "$work/openssl"
    debian_source openssl "$work/openssl" --download-only || true # the tarball is there even when the rest 404s
    tarball=$(find "$work/openssl" -maxdepth 1 -name 'openssl_*.orig.tar.gz' | head -1)
    [ -n "$tarball" ] || { echo "No OpenSSL source from apt-get source openssl" >&2 && exit 1; }
    tar -xzf "$tarball" -C "$work/openssl"
    src=$(find "$work/openssl" -maxdepth 1 -mindepth 1 -type d -name 'openssl-*' | head -1)
    # Its compiler warnings would bury the rest of the log: shown only when the build fails.
    if ! (cd "$src" && env -u CC -u CXX -u CFLAGS ./Configure "${openssl_options[@]}" --prefix="$openssl" \
        --libdir=lib && make -j"$jobs" "${openssl_run_dirs[@]}" build_libs && make install_dev) \
        >"$work/openssl/build.log" 2>&1; then
        tail -n 40 "$work/openssl/build.log" >&2
        exit 1
    fi
    echo "$openssl_stamp" >"$openssl/.vorn-openssl"
    rm -rf "$work/openssl"
    step_end
fi
openssl_version=$(sed -n 's/^Version: *//p' "$openssl/lib/pkgconfig/openssl.pc")

# --- libmosquitto, for the fleet publisher --------------------------------------------------------------
# Debian's mosquitto source, the client library alone, static, with TLS from the OpenSSL above and without
# its own threads (the console drives it from the event loop). Its stamp names the OpenSSL it was built
# with, so a library of an older cache (without TLS) is built again. When it does not build, the Windows
# build goes on without the fleet publisher.
mosquitto=$qt/mosquitto
mosquitto_stamp="tls openssl $openssl_version"
# The static OpenSSL needs these of Windows' own libraries, after it.
windows_tls_libs="-lssl -lcrypto -lws2_32 -lgdi32 -lcrypt32 -luser32 -ladvapi32"
if [ "$(cat "$mosquitto/.vorn-mosquitto" 2>/dev/null)" != "$mosquitto_stamp" ] &&
    [ "$(cat "$qt/.vorn-mosquitto-failed" 2>/dev/null)" != "$mosquitto_stamp" ]; then
    step_start "libmosquitto"
    rm -rf "$work/mosquitto" "$mosquitto" "$qt/.vorn-mosquitto-failed"
    mkdir -p "$work/mosquitto/build"
    if debian_source mosquitto "$work/mosquitto" &&
        src=$(find "$work/mosquitto" -maxdepth 1 -mindepth 1 -type d -name 'mosquitto-*' | head -1) &&
        cmake -S "$src" -B "$work/mosquitto/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
            -DCMAKE_BUILD_TYPE=Release -DWITH_STATIC_LIBRARIES=ON -DWITH_TLS=ON -DWITH_TLS_PSK=OFF \
            -DCMAKE_FIND_ROOT_PATH="$openssl" -DOPENSSL_ROOT_DIR="$openssl" -DOPENSSL_USE_STATIC_LIBS=ON \
            -DWITH_THREADING=OFF -DWITH_CJSON=OFF -DWITH_BROKER=OFF -DWITH_CLIENTS=OFF -DWITH_APPS=OFF \
            -DWITH_PLUGINS=OFF -DDOCUMENTATION=OFF -DWITH_LIB_CPP=OFF -DWITH_UNIX_SOCKETS=OFF >/dev/null &&
        cmake --build "$work/mosquitto/build" --target libmosquitto_static --parallel "$jobs"; then
        mkdir -p "$mosquitto/lib/pkgconfig" "$mosquitto/include"
        cp "$work/mosquitto/build/lib/libmosquitto_static.a" "$mosquitto/lib/libmosquitto.a"
        cp "$src"/include/*.h "$mosquitto/include/"
        version=${src##*-}
        printf '%s\n' "prefix=$mosquitto" "Name: mosquitto" \
            "Description: mosquitto MQTT library (static, TLS with OpenSSL $openssl_version)" \
            "Version: $version" "Cflags: -I\${prefix}/include -DLIBMOSQUITTO_STATIC" \
            "Libs: -L\${prefix}/lib -lmosquitto -L$openssl/lib $windows_tls_libs" \
            >"$mosquitto/lib/pkgconfig/libmosquitto.pc"
        echo "$mosquitto_stamp" >"$mosquitto/.vorn-mosquitto"
    else
        echo "libmosquitto did not build for Windows: the fleet publisher is left out"
        echo "$mosquitto_stamp" >"$qt/.vorn-mosquitto-failed"
    fi
    rm -rf "$work/mosquitto"
    step_end
fi
((qt_only)) && exit 0

# --- the icon -------------------------------------------------------------------------------------------
# The menu icon's picture as vorn.ico, drawn by packaging/IconGen.cpp built for this machine.
# Drawn again only when its drawing changed, so an unchanged icon does not make vorn.exe be linked again.
icon=$build/icon/vorn.ico
if [ ! "$build/icon/vorn-icon-gen" -nt "$root/packaging/IconGen.cpp" ] || [ ! -e "$icon" ]; then
    mkdir -p "$build/icon"
    # shellcheck disable=SC2046 # pkg-config's flags are words
    g++ -std=c++20 -fPIC -O1 "$root/packaging/IconGen.cpp" -o "$build/icon/vorn-icon-gen" $(pkg-config --cflags --libs Qt6Gui)
    "$build/icon/vorn-icon-gen" "$build/icon"
fi

# --- the console ----------------------------------------------------------------------------------------
step_start "console"
# Only what was built for Windows, never the host's: libmosquitto, and the OpenSSL it was built with (the
# publisher reads the reason a broker's certificate was refused from it).
export PKG_CONFIG_LIBDIR=$mosquitto/lib/pkgconfig:$openssl/lib/pkgconfig
export PKG_CONFIG_PATH=
# The cache's folders are roots of the search too, or the toolchain's search in the MinGW tree alone would
# not find libmosquitto.a and OpenSSL's libraries where pkg-config says they are.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_PREFIX_PATH="$qt" \
    -DCMAKE_FIND_ROOT_PATH="$qt;$mosquitto;$openssl" \
    -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_BUILD_TYPE=Release \
    -DVORN_BUILD_BENCH=OFF -DVORN_WERROR=ON -DCMAKE_CROSSCOMPILING_EMULATOR="$root/scripts/wine-run-test.sh" \
    -DVORN_WINDOWS_ICON="$icon" >/dev/null
cmake --build "$build" --parallel "$jobs"
step_end

# --- the zip --------------------------------------------------------------------------------------------
# Signs a file in place with the shop's certificate when a command for it is given.
sign() { # FILE
    [ -z "${VORN_SIGN_COMMAND:-}" ] && return 0
    # shellcheck disable=SC2086 # the command may carry its own arguments
    $VORN_SIGN_COMMAND "$1" || { echo "VORN_SIGN_COMMAND failed on $1" >&2 && exit 1; }
}
version=$(sed -n 's/^project(vorn VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
name=vorn-$version-windows-x64
rm -rf "${build:?}/$name" "$build/$name.zip"
mkdir -p "$build/$name/examples"
cp "$build/bin/vorn.exe" "$build/$name/"
x86_64-w64-mingw32-strip "$build/$name/vorn.exe"
sign "$build/$name/vorn.exe"
# Text files as Windows editors expect them: CR LF.
for ini in "$root"/examples/*.ini; do
    sed 's/\r*$/\r/' "$ini" >"$build/$name/examples/$(basename "$ini")"
done
sed 's/\r*$/\r/' "$root/packaging/windows/update.bat" >"$build/$name/examples/update.bat"
sed 's/\r*$/\r/' "$root/README.md" >"$build/$name/README.md"
# The operator's guide with its pictures, side by side as in docs/, so its links work.
mkdir -p "$build/$name/guide"
sed 's/\r*$/\r/' "$root/docs/user-guide.md" >"$build/$name/guide/user-guide.md"
cp "$root/docs/console.png" "$root/docs/report.png" "$build/$name/guide/"
for license in "$root"/LICENSE*; do
    [ -e "$license" ] && sed 's/\r*$/\r/' "$license" >"$build/$name/$(basename "$license").txt"
done
(cd "$build" && zip -qr "$name.zip" "$name")
echo "Made $build/$name.zip ($(du -h "$build/$name.zip" | cut -f1))"

# --- the installer --------------------------------------------------------------------------------------
# The zip's folder, installed per user by packaging/windows/vorn.nsi. The uninstaller and the installer
# are signed as makensis writes them when $VORN_SIGN_COMMAND is set.
setup=$build/vorn-$version-setup.exe
nsis_defines=(-DVERSION="$version" -DSTAGE="$build/$name" -DICON="$icon" -DOUTFILE="$setup"
    -DSIZE_KB="$(du -sk "$build/$name" | cut -f1)"
    -DCOPYRIGHT="Copyright $(sed -n 's/^Copyright: *//p' "$root/packaging/copyright" | head -1). GPL-3.0-or-later.")
[ -n "${VORN_SIGN_COMMAND:-}" ] && nsis_defines+=(-DSIGN_COMMAND="$VORN_SIGN_COMMAND")
rm -f "$setup"
makensis -V2 -INPUTCHARSET UTF8 "${nsis_defines[@]}" "$root/packaging/windows/vorn.nsi"
echo "Made $setup ($(du -h "$setup" | cut -f1))"
