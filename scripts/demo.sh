#!/usr/bin/env bash
# Builds the console and starts it on a ready demo program folder (build/demo, made from examples/), with
# the controller simulator on the demo's port when it is built.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh" "$root/build"

demo="$root/build/demo"
mkdir -p "$demo"
for f in "$root"/examples/*.ini; do
    [ -e "$demo/$(basename "$f")" ] || cp "$f" "$demo/"
done

sim_pid=""
if [ -x "$root/build/bin/dispenser-sim" ]; then
    # Now and then a unit falls short or sticks, so the demo shows those panels too.
    "$root/build/bin/dispenser-sim" --dir "$demo" --port 7 --short-rate 0.1 --stuck-rate 0.02 &
    sim_pid=$!
    trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ -e "$demo/ports/COM7" ] && break; sleep 0.1; done
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: starting the console under a virtual display (xvfb-run)." >&2
    xvfb-run -a "$root/build/bin/vorn" --dir "$demo" "$@"
else
    "$root/build/bin/vorn" --dir "$demo" "$@"
fi
