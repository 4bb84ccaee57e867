#!/usr/bin/env bash
# Runs one test executable of the Windows build under wine, for CTest (the build's cross-compiling
# emulator). Qt Test writes to the debugger's log, not to a pipe, when the process has no console, so the
# report goes to a file that is shown afterwards.
#   scripts/wine-run-test.sh TEST.exe [arguments...]
set -uo pipefail
# Wine keeps QT_* variables from Windows programs unless they are given as WINEQT_*.
while IFS='=' read -r name value; do
    export "WINE$name=$value"
done < <(env | grep '^QT_[A-Z_]*=')
report=$(mktemp)
trap 'rm -f "$report"' EXIT
/usr/lib/wine/wine64 "$@" -o "$report,txt"
status=$?
tr -d '\r' <"$report"
exit $status
