#!/usr/bin/env bash
# Tries the Windows build (scripts/windows-build.sh) under wine, headless:
# 1. every test executable that needs no Unix pseudo-terminal, with the offscreen platform (CTest runs
#    them through wine);
# 2. vorn.exe copied alone to a fresh folder, with the controller simulator on a pseudo-terminal that
#    wine names COM7: the folder beside the exe becomes its program folder, and the controller is found
#    (the picture of the window, kept with VORN_KEEP=1, shows "Tessaloran Controller found on Port 7");
# 3. --help and --version on the console vorn.exe was started from, and nothing shown from Explorer;
# 4. the zip's folder as an operator unpacks it: the real window on COM7 sends Id and a dispense run to
#    the simulator, starts update.bat, and the day's log and the settings keep CR LF;
# 5. the exe's version resource and icon; the installer: a silent install per user of an older version
#    (Start menu, uninstall entry), the installed console keeps the operator's files in %LOCALAPPDATA%\vorn,
#    this version installed over it in place keeps them and says where they are, and a silent uninstall
#    removes the program and leaves them;
# 6. the publisher's TLS cases: the console logs in over TLS to a Mosquitto on loopback with a CA made here,
#    and when it is killed the broker says it is offline; with another CA in its CA File it publishes
#    nothing and its day's log names OpenSSL's reason.
#   scripts/windows-test.sh
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build-windows
version=$(sed -n 's/^project(vorn VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
zip=$build/vorn-$version-windows-x64.zip
setup=$build/vorn-$version-setup.exe
[ -e "$zip" ] && [ -e "$setup" ] || { echo "No $zip or $setup: run scripts/windows-build.sh first" >&2; exit 1; }
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
broker_pid=""
sub_pid=""
stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
        sim_pid=""
    fi
}
cleanup() {
    stop_sim
    for pid in $sub_pid $broker_pid; do kill "$pid" 2>/dev/null || true; done
    "${wine%/wine64}/wineserver64" -k 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -n "${VORN_KEEP:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
# After a run that opened COM7: wine's server holds the pseudo-terminal as its controlling terminal until
# it ends, and the simulator's end would hang it up under it (which makes it dump its objects to the log).
end_sim() {
    timeout 60 "${wine%/wine64}/wineserver64" -w || true
    stop_sim
}
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
end_sim

echo "== the exe's file properties"
# The version resource's texts are UTF-16: each value follows its name.
resource=$(strings -e l "$folder/vorn.exe")
for pair in "ProductName=TESSALORAN Dispenser" "ProductVersion=$version" "FileVersion=$version" "CompanyName=TESSALORAN"; do
    grep -A1 -x "${pair%%=*}" <<<"$resource" | grep -qx "${pair#*=}" || fail "no $pair in the version resource"
done
# The resource types at the top of the resource directory: 0xe an icon group, 0x10 the version.
types=$(x86_64-w64-mingw32-objdump -p "$folder/vorn.exe" | grep -E '^[0-9a-f]+   Entry: ID:')
grep -q 'ID: 0x00000e,' <<<"$types" || fail "no icon in vorn.exe"
grep -q 'ID: 0x000010,' <<<"$types" || fail "no version resource in vorn.exe"

echo "== the installer: install, the installed console, an upgrade, uninstall"
unix_path() { "$wine" winepath -u "$("$wine" cmd /c "echo $1" | tr -d '\r')" 2>/dev/null; }
local_appdata_win=$("$wine" cmd /c 'echo %LOCALAPPDATA%' | tr -d '\r')
local_appdata=$(unix_path '%LOCALAPPDATA%')
start_menu=$(unix_path '%APPDATA%')/Microsoft/Windows/Start\ Menu/Programs
programs="$local_appdata/Programs/TESSALORAN Dispenser"
data=$local_appdata/vorn
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\vorn'
rm -rf "$programs" "$data"
# An older version's installer, made here from the same files, to upgrade from.
makensis -V1 -INPUTCHARSET UTF8 -DVERSION=0.0.1 -DSTAGE="$build/vorn-$version-windows-x64" \
    -DICON="$build/icon/vorn.ico" -DOUTFILE="$work/vorn-0.0.1-setup.exe" -DSIZE_KB=1 -DCOPYRIGHT=older \
    "$root/packaging/windows/vorn.nsi" >/dev/null || fail "makensis did not make the older installer"
installed_version() { "$wine" reg query "$uninstall_key" /v DisplayVersion 2>/dev/null | tr -d '\r' | awk '/DisplayVersion/ { print $3 }'; }
timeout 120 "$wine" "$work/vorn-0.0.1-setup.exe" /S || fail "the silent install failed"
for file in vorn.exe installed.txt uninstall.exe examples/Vorn.ini guide/user-guide.md guide/console.png; do
    [ -f "$programs/$file" ] || fail "no $file in $programs"
done
[ "$(installed_version)" = 0.0.1 ] || fail "no uninstall entry for 0.0.1: $(installed_version)"
link=$start_menu/TESSALORAN\ Dispenser.lnk
[ -f "$link" ] || fail "no Start-menu entry"
strings -a "$link" | grep -qxF "$local_appdata_win\Programs\TESSALORAN Dispenser\vorn.exe" ||
    fail "the Start-menu entry does not start the installed vorn.exe: $(strings -a "$link")"
# The installed console at the controller: its settings go to the per-user data folder.
start_sim "$work/trace-installed"
(cd "$work" && timeout 120 "$wine" "$programs/vorn.exe" --screenshot "$work/installed.png") ||
    fail "the installed vorn.exe did not run to its end"
end_sim
grep -q $'^Comm Port=7\r$' "$data/Vorn.ini" || fail "no Vorn.ini in the per-user data folder $data"
[ ! -e "$programs/Vorn.ini" ] && [ ! -e "$programs/Log" ] || fail "the installed console wrote beside the exe"
printf '[Designs]\r\nOPERATOR=1,2,3,4,5\r\n' >>"$data/Vorn.ini"
kept=$(md5sum <"$data/Vorn.ini")
# This version over the older one: in place, one entry, the operator's files as they were.
timeout 120 "$wine" "$setup" /S || fail "the install over the older version failed"
[ "$(installed_version)" = "$version" ] || fail "the upgrade left the uninstall entry at $(installed_version)"
"$wine" reg query "$uninstall_key" /v InstallLocation 2>/dev/null | tr -d '\r' |
    grep -qF "$local_appdata_win\Programs\TESSALORAN Dispenser" || fail "the upgrade went elsewhere"
[ "$(md5sum <"$data/Vorn.ini")" = "$kept" ] || fail "the upgrade changed the operator's Vorn.ini"
[ ! -e "$programs/Vorn.ini" ] || fail "the upgrade put a Vorn.ini beside the exe"
out=$(cd "$programs" && timeout 60 "$wine" vorn.exe --version | tr -d '\r')
[[ $out == *"vorn $version"* && $out == *"Program folder: $local_appdata_win\vorn"* ]] ||
    fail "the installed vorn.exe --version printed: $out"
# The uninstaller runs from a copy of itself in the temporary folder and returns at once.
timeout 60 "$wine" "$programs/uninstall.exe" /S || fail "the silent uninstall failed"
for _ in $(seq 120); do [ -e "$programs" ] || break; sleep 0.5; done
[ ! -e "$programs" ] || fail "the uninstall left $(ls "$programs" | tr '\n' ' ')in $programs"
[ ! -e "$start_menu/TESSALORAN Dispenser.lnk" ] || fail "the uninstall left the Start-menu entry"
! "$wine" reg query "$uninstall_key" >/dev/null 2>&1 || fail "the uninstall left the uninstall entry"
[ "$(md5sum <"$data/Vorn.ini")" = "$kept" ] || fail "the uninstall did not leave the operator's Vorn.ini"

echo "== the publisher over TLS to a Mosquitto on loopback"
# A broker that takes only TLS and a login, with a CA made here; the console on the settings as the operator
# writes them, in a folder of each case's own.
tls=$work/tls
exe=$work/zip/vorn-$version-windows-x64/vorn.exe
mkdir -p "$tls"
(cd "$tls" && key="-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes" &&
    openssl req -x509 $key -keyout ca.key -out ca.crt -days 2 -subj "/CN=Vorn test CA" &&
    openssl req -x509 $key -keyout other-ca.key -out other-ca.crt -days 2 -subj "/CN=Another CA" &&
    openssl req $key -keyout server.key -out server.csr -subj /CN=localhost &&
    echo subjectAltName=DNS:localhost >ext.cnf &&
    openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out server.crt -days 2 \
        -extfile ext.cnf &&
    mosquitto_passwd -c -b passwords vorn "s3cret pass") >"$tls/make.log" 2>&1 ||
    fail "the test's certificates: $(cat "$tls/make.log")"
# A free port below the range of outgoing connections.
for _ in $(seq 50); do
    port=$((20000 + RANDOM % 12000))
    (: </dev/tcp/127.0.0.1/$port) 2>/dev/null || break
done
printf '%s\n' "user $(id -un)" "listener $port 127.0.0.1" "cafile $tls/ca.crt" "certfile $tls/server.crt" \
    "keyfile $tls/server.key" "allow_anonymous false" "password_file $tls/passwords" >"$tls/mosquitto.conf"
mosquitto -c "$tls/mosquitto.conf" >"$tls/broker.log" 2>&1 &
broker_pid=$!
for _ in $(seq 100); do (: </dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done
mosquitto_sub -h localhost -p "$port" --cafile "$tls/ca.crt" -u vorn -P "s3cret pass" -q 1 -t 'tessaloran/#' -v \
    >"$tls/sub.log" 2>&1 &
sub_pid=$!
# Starts the console on a CA File in a folder of its own; waits until the day's log or the subscriber shows
# WHAT, then kills it.
tls_case() { # STATION CA_FILE WHERE WHAT
    local folder=$tls/$1
    mkdir -p "$folder"
    cp "$tls/$2" "$folder/ca.crt"
    printf 's3cret pass\r\n' >"$folder/mqtt-password"
    printf '%s\r\n' "[Settings]" "Comm Port=7" "[MQTT]" "Broker=localhost:$port" "Station=$1" "User=vorn" \
        "Password File=mqtt-password" "CA File=ca.crt" >"$folder/Vorn.ini"
    "$wine" "$exe" --dir "$("$wine" winepath -w "$folder" 2>/dev/null | tr -d '\r')" \
        >"$folder/vorn.log" 2>&1 &
    vorn_pid=$!
    local file=$3
    [ "$file" = log ] && file=$folder/Log/$(date +%y-%m-%d)-Log.txt
    [ "$file" = sub ] && file=$tls/sub.log
    for _ in $(seq 120); do grep -qaF "$4" "$file" 2>/dev/null && break; sleep 0.5; done
    grep -qaF "$4" "$file" 2>/dev/null || fail "$1: no \"$4\" in $file: $(cat "$file" "$tls/broker.log" 2>&1)"
    kill -9 "$vorn_pid"
    wait "$vorn_pid" 2>/dev/null || true
}
# The broker's CA: online, and when the console is killed the broker says it is offline.
tls_case wine ca.crt sub "tessaloran/wine/status online"
for _ in $(seq 60); do grep -q '^tessaloran/wine/status offline' "$tls/sub.log" && break; sleep 0.5; done
grep -q '^tessaloran/wine/status offline' "$tls/sub.log" || fail "the broker did not say the killed console is offline"
# Another CA: OpenSSL's reason reaches the day's log, and nothing was sent.
tls_case wine-other other-ca.crt log \
    "MQTT broker localhost:$port: TLS failed, its certificate is signed by a CA not in the CA File (unknown CA)"
! grep -q 'wine-other' "$tls/sub.log" || fail "a console that does not trust the broker published"
echo "Windows tests passed"
