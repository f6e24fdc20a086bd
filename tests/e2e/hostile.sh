#!/usr/bin/env bash
# A hostile machine: about 1,800 uninstall entries with malformed values of every field and
# icon files that are not what their names promise (empty, text named ".exe", a bare "MZ", cut
# downloads, icon directories claiming thousands of images), named in every form a
# DisplayIcon value takes. The list fills, every clean entry is listed once with its exact
# texts, every icon is its own or the default, the window answers throughout and closes
# promptly.
source "$(dirname "$0")/lib.sh"

e2e_prefix
system32=$WINEPREFIX/drive_c/windows/system32
python3 "$E2E_DIR/hostile.py" seed "$WINEPREFIX/drive_c" "$E2E_WORK" "${HOSTILE_SEED:-2026}" \
  "$system32/notepad.exe" "$WINEPREFIX/drive_c/windows/regedit.exe" "$FAKE_UNINSTALLER"
e2e_seed "$E2E_WORK/hostile.reg"
# A crash ends the program with its backtrace instead of waiting at the debugger's dialog.
"$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f /reg:64 \
  >/dev/null 2>&1
T=$'\t'

# The window is asked how soon it answers while the icons load, then read once they are in.
out=$(e2e_driver launch "$APP_DIR_WIN\\Corvandel.exe" wait-window \
  wait-status 0 "Элементов:" 60000 latency 3000 \
  wait-status-not 1 "Загрузка данных" 120000 status rows images latency 500 close wait-exit 10000)
printf '%s\n' "$out" >"$E2E_WORK/driver-output.txt"

e2e_check "the list fills and closes" "exit${T}0" "$(grep '^exit' <<<"$out")"
[ "$(grep -c '^row' <<<"$out")" -gt 500 ] && echo "ok: the list fills" ||
  { echo "FAILED: only $(grep -c '^row' <<<"$out") rows"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
# A window that answers within seconds at worst: a hang is what this looks for, not speed.
while IFS=$'\t' read -r _ median worst; do
  if awk -v w="$worst" 'BEGIN { exit !(w < 5000) }'; then
    echo "ok: the window answers (median $median ms, worst $worst ms)"
  else
    echo "FAILED: the window answered after $worst ms"; E2E_FAILURES=$((E2E_FAILURES + 1))
  fi
done < <(grep '^latency' <<<"$out")
[ "$(grep -c '^latency' <<<"$out")" = 2 ] ||
  { echo "FAILED: the window was not asked twice"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
python3 "$E2E_DIR/hostile.py" check "$E2E_WORK" "$E2E_WORK/driver-output.txt" ||
  E2E_FAILURES=$((E2E_FAILURES + 1))
e2e_finish
