#!/usr/bin/env bash
# A fleet on one machine: a Mosquitto from examples/mosquitto-board.conf on loopback, serving the fleet board,
# and three consoles (press-1, press-2, press-3) on the offscreen platform, each on a simulator of its own
# that now and then runs short or sticks. Prints the board's address; Ctrl+C stops everything it started.
#   scripts/fleet-demo.sh [MQTT_PORT [BOARD_PORT]]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build"
mqtt_port=${1:-1883}
board_port=${2:-9001}
"$root/scripts/setup.sh" "$build"

work=$(mktemp -d "${TMPDIR:-/tmp}/vorn-fleet-XXXXXX")
pids=()
cleanup() {
    trap - EXIT INT TERM
    # The consoles first, so that they say goodbye to the broker, then their simulators, then the broker.
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

cp "$root"/examples/mosquitto-board.{acl,passwd} "$work/"
mosquitto_passwd -b "$work/mosquitto-board.passwd" vorn demo-secret
sed -e "s|/etc/mosquitto/conf.d/|$work/|" \
    -e "s|^listener 1883\$|listener $mqtt_port 127.0.0.1|" \
    -e "s|^listener 9001\$|listener $board_port 127.0.0.1|" \
    -e "s|^http_dir .*|http_dir $build/board|" "$root/examples/mosquitto-board.conf" >"$work/mosquitto.conf"
# As root the broker would turn to a user of its own, who cannot read this folder.
[ "$(id -u)" -ne 0 ] || echo "user root" >>"$work/mosquitto.conf"
mosquitto -c "$work/mosquitto.conf" 2>"$work/mosquitto.log" &
broker=$!
sleep 0.5
kill -0 "$broker" 2>/dev/null || { cat "$work/mosquitto.log" >&2; exit 1; }

consoles=()
for station in press-1 press-2 press-3; do
    folder="$work/$station"
    mkdir -p "$folder"
    cp "$root/examples/Vorn2.ini" "$folder/"
    { cat "$root/examples/Vorn.ini"
      printf '\r\n[MQTT]\r\nBroker=127.0.0.1:%s\r\nStation=%s\r\nUser=vorn\r\nPassword File=mqtt-password\r\n' \
          "$mqtt_port" "$station"; } >"$folder/Vorn.ini"
    echo demo-secret >"$folder/mqtt-password"
    "$build/bin/dispenser-sim" --dir "$folder" --port 7 --short-rate 0.1 --stuck-rate 0.02 >/dev/null 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -e "$folder/ports/COM7" ] && break; sleep 0.1; done
    QT_QPA_PLATFORM=offscreen "$build/bin/vorn" --dir "$folder" >/dev/null 2>&1 &
    consoles+=($!)
done
pids=("${consoles[@]}" "${pids[@]}" "$broker")

echo "Fleet board: http://127.0.0.1:$board_port/   (consoles' folders in $work; Ctrl+C stops them all)"
echo "A stuck stone on press-2 now: kill -USR1 ${pids[4]}"
wait "$broker"
