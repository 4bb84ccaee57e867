#!/usr/bin/env bash
# Takes the README's picture of the real window under Xvfb: the demo folder, the simulator when built.
#   scripts/screenshot.sh [OUTPUT.png]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
out=${1:-$root/docs/console.png}
"$root/scripts/setup.sh" "$root/build"

work=$(mktemp -d)
trap 'kill ${sim_pid:-} 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$root"/examples/*.ini "$work/"
if [ -x "$root/build/bin/dispenser-sim" ]; then
    "$root/build/bin/dispenser-sim" --dir "$work" --port 7 >/dev/null &
    sim_pid=$!
    for _ in $(seq 50); do [ -e "$work/ports/COM7" ] && break; sleep 0.1; done
fi
# A window of 1280 x 720 pixels at the origin of a screen of the same size.
sed -i '/^Left=\|^Top=\|^width=\|^height=/d' "$work/Vorn.ini"
sed -i "s/^\[Settings\]\r\?$/[Settings]\r\nLeft=0\r\nTop=0\r\nwidth=19200\r\nheight=10800\r/" "$work/Vorn.ini"
xvfb-run -a -s "-screen 0 1280x720x24" "$root/build/bin/vorn" --dir "$work" --screenshot "$out"
echo "wrote $out"
