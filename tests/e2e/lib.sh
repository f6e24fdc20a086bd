# Shared steps of the end-to-end tests: a fresh copy of the base Wine prefix, the program
# installed in it, registry seeding, a virtual display, and the driver that reads the
# running program.

set -euo pipefail
E2E_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$E2E_DIR/../../scripts/wine-env.sh"
export LANG=ru_RU.UTF-8 LC_ALL=ru_RU.UTF-8

: "${CORVANDEL_EXE:?}" "${CORVANDEL_DRIVER:?}" "${WINE_BASE_PREFIX:?}" "${E2E_WORK:?}"
E2E_FAILURES=0
APP_DIR_WIN='C:\Corvandel'
UNINSTALL_KEY='SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
WOW_UNINSTALL_KEY='SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall'

e2e_cleanup() {
  [ -n "${WINEPREFIX:-}" ] && "$WINESERVER" -k 2>/dev/null || true
  [ -n "$OWN_XVFB_PID" ] && kill "$OWN_XVFB_PID" 2>/dev/null || true
  if [ "$E2E_FAILURES" -eq 0 ]; then rm -rf "$E2E_WORK/prefix"; fi
}
trap e2e_cleanup EXIT

# Every test has a virtual display of its own, whatever display the caller has: a window or
# message box of another test can neither be found by the driver nor show in a screenshot.
e2e_display() {
  [ -n "$OWN_XVFB_PID" ] || own_display
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
  # Where an installed copy keeps its records and clean-ups.
  DATA_DIR="$WINEPREFIX/drive_c/ProgramData/Corvandel"
  mkdir -p "$APP_DIR"
  cp "$CORVANDEL_EXE" "$APP_DIR/Corvandel.exe"
  e2e_display
}

# e2e_seed FILE.reg: imports a registry file written in UTF-8 into the 64-bit view, where
# its key paths are meant (a 32-bit key is named by its WOW6432Node path), whichever loader
# runs the import tool. Then checks that a 64-bit key of the file landed in the 64-bit view.
e2e_seed() {
  local wide="$E2E_WORK/seed-$(basename "$1")"
  iconv -f UTF-8 -t UTF-16 "$1" >"$wide"
  "$WINE" reg import "$("$WINE" winepath -w "$wide" 2>/dev/null)" /reg:64 >/dev/null 2>&1 ||
    { echo "FAILED: seeding $1"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
  # A 64-bit entry of the file without a 32-bit namesake: in the 64-bit view only.
  local key
  key=$(python3 - "$1" <<'PY'
import re, sys
pattern = r"^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\(WOW6432Node\\)?Microsoft\\Windows\\CurrentVersion\\Uninstall\\([^\\\]]+)\]"
found = re.findall(pattern, open(sys.argv[1], encoding="utf-8").read(), re.M | re.I)
wow = {name.lower() for view, name in found if view}
native = [name for view, name in found if not view and name.lower() not in wow]
if native:
    print("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + native[0])
PY
)
  [ -n "$key" ] || return 0
  if ! key_exists "$key" 64 || key_exists "$key" 32; then
    echo "FAILED: $key is not a key of the 64-bit view alone after seeding"
    E2E_FAILURES=$((E2E_FAILURES + 1))
  fi
}

# key_exists KEY 64|32: whether the key is there in that registry view.
key_exists() {
  case "$2" in
    64) "$WINE" reg query "$1" /reg:64 >/dev/null 2>&1 ;;
    32) "$WINE" reg query "$1" /reg:32 >/dev/null 2>&1 ;;
    *) echo "key_exists: no view $2" >&2; return 2 ;;
  esac
}

# export_key KEY NAME: the key's tree as the 64-bit import tool exports it, one value a line.
export_key() {
  local out="$E2E_WORK/export-$2.reg"
  rm -f "$out"
  "$WINE" reg export "$1" "$("$WINE" winepath -w "$out" 2>/dev/null)" /reg:64 /y >/dev/null 2>&1
  iconv -f UTF-16 -t UTF-8 "$out" 2>/dev/null | tr -d '\r' | sed -e ':a' -e '/\\$/N; s/\\\n  //; ta'
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

# e2e_skip WHAT WHY: a part this machine cannot run, said loudly here and named again in the
# summary of scripts/test.sh: a skip is never a pass.
e2e_skip() {
  echo "SKIPPED: $1 ($2)"
  [ -z "${CORVANDEL_SKIP_LOG:-}" ] || echo "$(basename "$0" .sh) ${CORVANDEL_BITNESS:-32}-bit: $1 ($2)" >>"$CORVANDEL_SKIP_LOG"
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

# e2e_release_file FOLDER [VERSION] [KEY]: the signed release file of an update server's
# folder, naming VERSION (by default the folder's version.txt) and the SHA-256 of each package
# there, signed with KEY (by default the key the build trusts).
e2e_release_file() {
  local dir=$1 version=${2:-} key=${3:-${TEST_SIGNING_KEY:?}} package
  [ -n "$version" ] || version=$(tr -d '\r\n' <"$dir/version.txt")
  {
    printf 'Corvandel release\r\nversion=%s\r\n' "$version"
    for package in Corvandel-setup.exe Corvandel.zip; do
      if [ -f "$dir/$package" ]; then
        printf 'sha256 %s=%s\r\n' "$package" "$(sha256sum "$dir/$package" | cut -d' ' -f1)"
      fi
    done
  } >"$dir/release.txt"
  openssl dgst -sha256 -sign "$key" -out "$dir/release.txt.sig" "$dir/release.txt"
}
