# Shared steps of the end-to-end tests: a fresh copy of the base Wine prefix, the program
# installed in it, registry seeding, a virtual display, and the driver that reads the
# running program.

set -euo pipefail
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$E2E_DIR/../../scripts/wine-env.sh"
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8

: "${CORVANDEL_EXE:?}" "${CORVANDEL_DRIVER:?}" "${WINE_BASE_PREFIX:?}" "${E2E_WORK:?}"
E2E_FAILURES=0
E2E_XVFB_PID=""
APP_DIR_WIN='C:\Corvandel'

e2e_cleanup() {
  [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k 2>/dev/null || true
  [ -n "$E2E_XVFB_PID" ] && kill "$E2E_XVFB_PID" 2>/dev/null || true
  if [ "$E2E_FAILURES" -eq 0 ]; then rm -rf "$E2E_WORK/prefix"; fi
}
trap e2e_cleanup EXIT

# The program needs a display; without one, a private virtual display is started.
e2e_display() {
  if [ -z "${DISPLAY:-}" ]; then
    local fifo="$E2E_WORK/displayfd"
    rm -f "$fifo" && mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    E2E_XVFB_PID=$!
    read -r number <"$fifo"
    export DISPLAY=":$number"
  fi
}

# e2e_prefix [BASE]: a fresh prefix from BASE (default: the Windows 10 base) with the
# program in C:\Corvandel.
e2e_prefix() {
  local base=${1:-$WINE_BASE_PREFIX}
  mkdir -p "$E2E_WORK"
  "$WINESERVER" -k 2>/dev/null || true
  rm -f "$E2E_WORK/driver-failures"
  rm -rf "$E2E_WORK/prefix"
  cp -a "$base" "$E2E_WORK/prefix"
  export WINEPREFIX="$E2E_WORK/prefix"
  APP_DIR="$WINEPREFIX/drive_c/Corvandel"
  mkdir -p "$APP_DIR"
  cp "$CORVANDEL_EXE" "$APP_DIR/Corvandel.exe"
  e2e_display
}

# e2e_seed FILE.reg: imports a registry file written in UTF-8 through the registry editor.
e2e_seed() {
  local wide="$E2E_WORK/seed-$(basename "$1")"
  iconv -f UTF-8 -t UTF-16 "$1" >"$wide"
  "$WINE" regedit /s "$("$WINE" winepath -w "$wide" 2>/dev/null)"
}

# e2e_file WINDOWS_PATH: creates a file at a path of the prefix's drive C.
e2e_file() {
  local unix="$WINEPREFIX/drive_c/$(echo "${1#C:\\}" | tr '\\' '/')"
  mkdir -p "$(dirname "$unix")"
  printf 'MZ' >"$unix"
}

# A driver step that fails is reported and counted; the test goes on with its checks.
e2e_driver() {
  local status=0
  "$WINE" "$CORVANDEL_DRIVER" "$@" || status=$?
  if [ "$status" -ne 0 ]; then
    echo "FAILED: driver step: $*" >&2
    echo "$*" >>"$E2E_WORK/driver-failures"
  fi
  return 0
}

e2e_check() {  # e2e_check NAME EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") || true
    E2E_FAILURES=$((E2E_FAILURES + 1))
  fi
}

e2e_finish() {
  if [ -s "$E2E_WORK/driver-failures" ]; then
    E2E_FAILURES=$((E2E_FAILURES + $(wc -l <"$E2E_WORK/driver-failures")))
  fi
  if [ "$E2E_FAILURES" -ne 0 ]; then
    echo "$E2E_FAILURES check(s) failed; prefix kept in $E2E_WORK/prefix"
    exit 1
  fi
}

bitness_tag() { echo "(${CORVANDEL_BITNESS:-32}-bit)"; }
