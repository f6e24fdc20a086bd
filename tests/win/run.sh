#!/usr/bin/env bash
# Runs the Win32-layer tests under Wine in a copy of the base prefix:
# run.sh BASE_PREFIX WIN_TESTS_EXE CORVANDEL_EXE
set -euo pipefail
source "$(dirname "$0")/../../scripts/wine-env.sh"
base=$1 tests=$2 exe=$3
export WINEPREFIX=$(dirname "$tests")/wine/win-tests
mkdir -p "$(dirname "$WINEPREFIX")"
rm -rf "$WINEPREFIX"
cp -a "$base" "$WINEPREFIX"
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8
own_display
export CORVANDEL_EXE_UNDER_TEST=$("$WINE" winepath -w "$exe" 2>/dev/null)
status=0
"$WINE" "$tests" || status=$?
"$WINESERVER" -k 2>/dev/null || true
kill "$OWN_XVFB_PID" 2>/dev/null || true
rm -rf "$WINEPREFIX"
exit $status
