#!/usr/bin/env bash
# Tries the Windows build (scripts/windows-build.sh) under wine, headless:
# 1. every test executable that needs no Unix pseudo-terminal, with the offscreen platform (CTest runs
#    them through wine);
# 2. vorn.exe copied alone to a fresh folder, with the controller simulator on a pseudo-terminal that
#    wine names COM7: the folder beside the exe becomes its program folder, and the controller is found
#    (the picture of the window, kept with VORN_KEEP=1, shows "Tessaloran Controller found on Port 7");
# 3. --help and --version on the console vorn.exe was started from, and nothing shown from Explorer;
# 4. the zip's folder as an operator unpacks it: the real window on COM7 sends Id and a dispense run to
#    the simulator, starts update.bat, and the day's log and the settings keep CR LF.
#   scripts/windows-test.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-windows
version=$(sed -n 's/^project(vorn VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
zip=$build/vorn-$version-windows-x64.zip
[ -e "$zip" ] || { echo "No $zip: run scripts/windows-build.sh first" >&2; exit 1; }
# The simulator is a Linux program: from the Linux build.
[ -x "$root/build/bin/dispenser-sim" ] || "$root/scripts/setup.sh" "$root/build"

wine=/usr/lib/wine/wine64
export WINEPREFIX=$build/wine
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko installer
export LANG=en_US.UTF-8                    # wine's ANSI code page: Windows-1252, as on a Western PC
# Wine hands QT_* variables to Windows programs only when they are given as WINEQT_*.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM

work=$(mktemp -d)
[ -n "${VORN_KEEP:-}" ] && echo "work folder: $work"
sim_pid=""
xvfb_pid=""
stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}
cleanup() {
    stop_sim
    "${wine%/wine64}/wineserver64" -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "${VORN_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Wine's windows need a display even when Qt draws offscreen: a virtual one of our own.
for n in $(seq 90 140); do
    [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] || { display=:$n && break; }
done
Xvfb "$display" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
[ -d "$WINEPREFIX" ] || "$wine" wineboot --init >/dev/null 2>&1
"$wine" wineboot >/dev/null 2>&1 || true

# Starts the simulator on a pseudo-terminal and links it as wine's COM7.
start_sim() { # TRACE
    stop_sim
    mkdir -p "$work/sim"
    rm -f "$work/sim/ports/COM7"
    "$root/build/bin/dispenser-sim" --dir "$work/sim" --port 7 --trace "$1" >"$work/sim.log" 2>&1 &
    sim_pid=$!
    for _ in $(seq 100); do [ -e "$work/sim/ports/COM7" ] && break; sleep 0.1; done
    [ -e "$work/sim/ports/COM7" ] || fail "the simulator did not start: $(cat "$work/sim.log")"
    ln -sfn "$(readlink -f "$work/sim/ports/COM7")" "$WINEPREFIX/dosdevices/com7"
}

echo "== tests under wine"
ctest --test-dir "$build" --output-on-failure --timeout 600

echo "== vorn.exe alone in a fresh folder, the controller on COM7"
rm -rf "$work/alone" && mkdir -p "$work/alone"
unzip -q -j "$zip" "vorn-$version-windows-x64/vorn.exe" -d "$work/alone"
start_sim "$work/trace-alone"
(cd "$work" && timeout 120 "$wine" "$work/alone/vorn.exe" --screenshot "$work/alone.png") ||
    fail "vorn.exe did not run to its end"
grep -q $'^Comm Port=7\r$' "$work/alone/Vorn.ini" || fail "no Comm Port=7 (CR LF) in the Vorn.ini beside vorn.exe"
grep -aq 'DP>' "$work/trace-alone" || fail "the probe did not reach the simulator"
[ -s "$work/alone.png" ] || fail "no picture of the window"
echo "program folder: $(ls "$work/alone" | tr '\n' ' ')"

echo "== --help and --version on the console they were started from"
for option in --version --help; do
    out=$(cd "$work/alone" && timeout 60 "$wine" cmd /c "vorn.exe $option" 2>/dev/null | tr -d '\r')
    case $option in
    --version) [[ $out == *"vorn $version"* ]] || fail "--version printed: $out" ;;
    --help) [[ $out == *"Program folder:"* ]] || fail "--help printed: $out" ;;
    esac
done
out=$(cd "$work/alone" && timeout 60 "$wine" vorn.exe --version | tr -d '\r')
[[ $out == *"vorn $version"* ]] || fail "--version into a pipe printed: $out"
# As from Explorer: no console, no handles. Nothing is shown (no message box waits), and it ends.
out=$(timeout 60 "$wine" start /wait /unix "$work/alone/vorn.exe" --version) || fail "--version from Explorer did not end"
[ -z "$out" ] || fail "--version from Explorer printed: $out"

echo "== the unpacked zip: Id, a dispense run and update.bat at the real window"
rm -rf "$work/zip" && mkdir -p "$work/zip"
unzip -q "$zip" -d "$work/zip"
folder=$work/zip/vorn-$version-windows-x64
cp "$folder"/examples/*.ini "$folder/"
printf '@echo off\r\necho updated> "%%~dp0updated"\r\n' >"$folder/update.bat"
start_sim "$work/trace-run"
# On the Windows platform plugin (wine's windows on the virtual display), so fonts are Windows' own.
VORN_E2E_FOLDER=$folder timeout 300 "$root/scripts/wine-run-test.sh" "$build/tests/app_WindowsPortRun.exe" ||
    fail "the run at the window"
grep -aq '>ID,101,0' "$work/trace-run" || fail "no Id reached the simulator"
[ "$(grep -ac '>COUNT,' "$work/trace-run")" = 2 ] || fail "the dispense run did not reach the simulator once"
log=$folder/Log/$(date +%y-%m-%d)-Log.txt
grep -aq 'ID:TSL-DU UID=101' "$log" || fail "no answer to Id in the day's log"
[ "$(grep -c $'\r$' "$log")" = "$(wc -l <"$log")" ] || fail "the day's log has lines without CR LF"
[ "$(grep -c $'\r$' "$folder/Vorn.ini")" = "$(wc -l <"$folder/Vorn.ini")" ] || fail "Vorn.ini has lines without CR LF"
grep -q $'^Comm Port=7\r$' "$folder/Vorn.ini" || fail "no Comm Port=7 in Vorn.ini"
echo "Windows tests passed"
