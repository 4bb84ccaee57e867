#!/usr/bin/env bash
# Takes the README's pictures of the real windows under Xvfb: the console on the demo folder (the
# simulator when built), or with --report the shift report over a day of demo runs. The screen and the
# window are 1280 x 720 pixels unless --size says otherwise; --language takes es or de.
#   scripts/screenshot.sh [--report] [--size WIDTHxHEIGHT] [--language es|de] [OUTPUT.png]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
report=""
size=1280x720
language=""
while [ $# -gt 0 ]; do
    case $1 in
        --report) report=1 ;;
        --size) size=$2; shift ;;
        --language) language=$2; shift ;;
        *) break ;;
    esac
    shift
done
width=${size%x*}
height=${size#*x}
out=${1:-$root/docs/$([ -n "$report" ] && echo report || echo console).png}
"$root/scripts/setup.sh" "$root/build"

work=$(mktemp -d)
trap 'kill ${sim_pid:-} 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$root"/examples/*.ini "$work/"
if [ -x "$root/build/bin/dispenser-sim" ]; then
    "$root/build/bin/dispenser-sim" --dir "$work" --port 7 >/dev/null &
    sim_pid=$!
    for _ in $(seq 50); do [ -e "$work/ports/COM7" ] && break; sleep 0.1; done
fi
# A window as large as the screen, at its origin (15 twips to a pixel), in the language asked for.
sed -i '/^Left=\|^Top=\|^width=\|^height=\|^Language=/d' "$work/Vorn.ini"
sed -i "s/^\[Settings\]\r\?$/[Settings]\r\nLeft=0\r\nTop=0\r\nwidth=$((width * 15))\r\nheight=$((height * 15))\r/" "$work/Vorn.ini"
[ -z "$language" ] || sed -i "s/^\[Settings\]\r\?$/[Settings]\r\nLanguage=$language\r/" "$work/Vorn.ini"
if [ -n "$report" ]; then
    # Today's journal as a shift of runs leaves it: five units, a design per hour, a few that fell short.
    mkdir -p "$work/Log"
    journal="$work/Log/$(date +%y-%m-%d)-Runs.csv"
    day=$(date +%Y-%m-%d)
    printf 'time,design,unit,uid,asked,counted,short,result,verdict,actual\r\n' >"$journal"
    designs=(RING BROOCH RING PENDANT RING "" BROOCH RING)
    for hour in 6 7 8 9 10 11 12 13; do
        design=${designs[$((hour - 6))]}
        for run in 0 1 2; do
            time="${day}T$(printf '%02d:%02d:00' "$hour" $((run * 17)))"
            for unit in 1 2 3 4 5; do
                asked=$((4 + unit * 2))
                case $(((hour * 7 + run * 3 + unit) % 23)) in
                    0) counted=$((asked - 2)) short=2 result=short verdict="NOT OK" ;;
                    5) counted=$((asked / 2)) short="" result=stuck verdict="" ;;
                    9) counted=$((asked + 1)) short="" result=over verdict="NOT OK" ;;
                    13) counted="" short="" result="no report" verdict="" ;;
                    *) counted=$asked short="" result=complete verdict=OK ;;
                esac
                actual=""
                [ "$verdict" = "NOT OK" ] && actual=$counted
                printf '%s,%s,UNIT %s,10%s,%s,%s,%s,%s,%s,%s\r\n' "$time" "$design" "$unit" "$unit" "$asked" \
                    "$counted" "$short" "$result" "$verdict" "$actual" >>"$journal"
            done
        done
    done
    xvfb-run -a -s "-screen 0 ${width}x$((height + 80))x24" "$root/build/bin/vorn" --dir "$work" --report-screenshot "$out"
else
    xvfb-run -a -s "-screen 0 ${size}x24" "$root/build/bin/vorn" --dir "$work" --screenshot "$out"
fi
echo "wrote $out"
