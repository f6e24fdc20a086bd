#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test tier: the core unit tests
# natively, the Win32-layer tests and the end-to-end tests under Wine on a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh --wine-tests
source scripts/wine-env.sh
# Every part that cannot run here is named in this file, and again at the end.
export CORVANDEL_SKIP_LOG=$root/build/skipped.txt
: >"$CORVANDEL_SKIP_LOG"

echo "== unit tests (native)"
ctest --test-dir build/native --output-on-failure

if [ "$WINE_NATIVE_ARCH" != i686 ]; then
  echo "== $WINE_LOADER_NOTE"
  # Where the kernel runs 32-bit code, the shipped build must be the one tested.
  kernel_runs_i386 && { echo "== the shipped 32-bit build cannot be tested here: failing" >&2; exit 1; }
  echo "the Win32-layer and end-to-end tests of the shipped 32-bit build ($WINE_LOADER_NOTE)" >>"$CORVANDEL_SKIP_LOG"
fi
# Every test that shows windows starts a virtual display of its own.
status=0
if [ "$WINE_NATIVE_ARCH" = i686 ]; then
  echo "== Win32-layer and end-to-end tests of the shipped 32-bit build (Wine, 32-bit loader)"
  ctest --test-dir build/win32 --output-on-failure -j2 --timeout 600 || status=1
fi
echo "== Win32-layer and end-to-end tests of the 64-bit build (Wine, 64-bit loader)"
ctest --test-dir build/win64 --output-on-failure -j2 --timeout 600 || status=1
if [ -s "$CORVANDEL_SKIP_LOG" ]; then
  echo "== SKIPPED on this machine, so NOT tested here:"
  sed 's/^/   - /' "$CORVANDEL_SKIP_LOG"
else
  echo "== nothing was skipped: every tier ran, the shipped 32-bit build's included"
fi
exit $status
