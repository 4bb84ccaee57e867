#!/usr/bin/env bash
# Installs what the build needs (Debian 12 packages) when it is missing, then configures and builds.
#   scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$root/build}
shift || true

# dpkg-dev (dpkg-shlibdeps), file and desktop-file-utils build and check the Debian packages, help2man
# writes their man pages and man-db (man -l) reads them back.
# qt6-charts-dev draws the shift report's charts (its CMake files need libqt6opengl6-dev, which it does not
# pull in); poppler-utils (pdftotext) lets the tests read the report's PDF. The MQTT publisher builds on
# libmosquitto (and asks libssl what is wrong with a certificate) and is tested against a broker (mosquitto,
# its clients, openssl for TLS). The fleet board takes its MQTT client from npm, and its tests drive
# Chromium with npm's playwright-core. The Spanish and German translations are built with Qt's lupdate and
# lrelease (qt6-l10n-tools; their CMake package is in qt6-tools-dev); qt6-translations-l10n has Qt's own.
packages=(cmake g++ make qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev qt6-l10n-tools
    qt6-tools-dev qt6-translations-l10n fonts-dejavu-core
    xvfb xauth dpkg-dev file desktop-file-utils poppler-utils pkg-config libmosquitto-dev mosquitto
    mosquitto-clients openssl libssl-dev chromium xdotool help2man man-db)
# Node.js and npm from Debian, unless a Node.js with its own npm is there already.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The board's MQTT client and the tests' browser driver, as package-lock.json pins them.
if [ ! -f "$root/web/node_modules/.package-lock.json" ] ||
    [ "$root/web/package-lock.json" -nt "$root/web/node_modules/.package-lock.json" ]; then
    npm ci --prefix "$root/web" --no-audit --no-fund --loglevel=error
fi

cmake -S "$root" -B "$build" "$@" >/dev/null
cmake --build "$build" -j"$(nproc)"
