#!/usr/bin/env bash
# Builds the native core tests and the Windows programs: build.sh [--wine-tests]
# The shipped 32-bit Corvandel.exe lands in build/win32, the 64-bit build of the same sources
# in build/win64. With --wine-tests each Windows build also gets its Windows tests; the
# 32-bit ones run where Wine's 32-bit loader does (see scripts/wine-env.sh), the 64-bit ones
# everywhere.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine-env.sh
jobs=$(nproc)
tests=OFF
[ "${1:-}" = "--wine-tests" ] && tests=ON

cmake -S . -B build/native >/dev/null
cmake --build build/native -j"$jobs"

# Development builds trust a throw-away update key of this machine instead of the release
# key, so that the tests can sign packages; releases are built by scripts/release.sh.
test_key=$root/build/test-key
if [ ! -s "$test_key/public.pem" ]; then
  mkdir -p "$test_key"
  openssl ecparam -name prime256v1 -genkey -noout -out "$test_key/private.pem"
  openssl pkey -in "$test_key/private.pem" -pubout -out "$test_key/public.pem"
fi

build_windows() {  # build_windows DIR ARCH WINE_TESTS
  cmake -S . -B "$1" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$2.cmake" \
    -DCORVANDEL_WINE_TESTS="$3" -DCORVANDEL_UPDATE_KEY="$test_key/public.pem" >/dev/null
  cmake --build "$1" -j"$jobs"
}

build_windows build/win32 i686 "$([ "$WINE_NATIVE_ARCH" = i686 ] && echo "$tests" || echo OFF)"
build_windows build/win64 x86_64 "$tests"
