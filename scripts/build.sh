#!/usr/bin/env bash
# Builds the native core tests and the Windows programs: build.sh [--wine-tests]
# The shipped 32-bit Corvandel.exe lands in build/win32. The programs that run under Wine
# here (the program, the test driver and, with --wine-tests, the Windows tests) are built
# for the architecture Wine can execute on this machine (see scripts/wine-env.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine-env.sh
jobs=$(nproc)
tests=OFF
[ "${1:-}" = "--wine-tests" ] && tests=ON

cmake -S . -B build/native >/dev/null
cmake --build build/native -j"$jobs"

build_windows() {  # build_windows DIR ARCH WINE_TESTS
  cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$2.cmake" \
    -DCORVANDEL_WINE_TESTS="$3" >/dev/null
  cmake --build "$1" -j"$jobs"
}

if [ "$WINE_TEST_ARCH" = i686 ]; then
  build_windows build/win32 i686 "$tests"
else
  build_windows build/win32 i686 OFF
  build_windows build/win64 x86_64 "$tests"
fi
