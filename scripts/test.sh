#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test tier: the core unit tests
# natively, the Win32-layer tests and the end-to-end tests under Wine on a virtual display.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh --wine-tests
source scripts/wine-env.sh

echo "== unit tests (native)"
ctest --test-dir build/native --output-on-failure

[ "$WINE_TEST_ARCH" = i686 ] ||
  echo "== this machine cannot execute 32-bit code: the Wine tiers run the 64-bit build"
echo "== Win32-layer and end-to-end tests (Wine, $WINE_TEST_ARCH)"
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  ctest --test-dir "$WINE_BUILD" --output-on-failure -j2 --timeout 600
