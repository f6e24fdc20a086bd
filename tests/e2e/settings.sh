#!/usr/bin/env bash
# A settings file that cannot be read: the program starts with its defaults and says so once,
# closes normally, and leaves the file as it was unless the user chose another option.
source "$(dirname "$0")/lib.sh"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
INI_WIN='C:\Corvandel\Config\Option.ini'

e2e_prefix
: >"$APP_DIR/portable.ini"
mkdir -p "$APP_DIR/Config"
printf '[Option]\r\nViewLogMenu=1\r\nIconBigMenu=1\r\nWindow=wsNormal\r\nHeight=600\r\nWidth=900\r\n' \
  >"$APP_DIR/Config/Option.ini"
stored=$(cat "$APP_DIR/Config/Option.ini")

# Locked by another program for the whole run.
out=$(e2e_driver lock "$INI_WIN" launch "$EXE" message-box 20000 wait-window \
  wait-status 0 "Элементов:" status close wait-exit)
boxes=$(grep -c '^message-box' <<<"$out")
e2e_check "one error box" "1" "$boxes"
grep -A2 '^message-box' <<<"$out" | grep -qF "$INI_WIN" && echo "ok: it names the file" ||
  { echo "FAILED: the box does not name the file"; echo "$out"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
[ "$(grep -A3 '^message-box' <<<"$out" | grep -cv '^\(message-box\|status\|exit\|$\)')" -ge 1 ] &&
  echo "ok: with the reason" || { echo "FAILED: no reason given"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_check "the list fills" "status${T}Элементов: 0" "$(grep '^status' <<<"$out" | cut -f1,2)"
e2e_check "closed normally" "exit${T}0" "$(grep '^exit' <<<"$out")"
e2e_check "the file is left as it was" "$stored" "$(cat "$APP_DIR/Config/Option.ini")"

# Readable again: the stored options come back.
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" height MemoLogUninstall close wait-exit)
e2e_check "stored options apply once readable" "height${T}100" "$(grep '^height' <<<"$out")"

# Unreadable at start, an option chosen in this run: that choice is written.
out=$(e2e_driver lock "$INI_WIN" launch "$EXE" message-box 20000 wait-window \
  wait-status 0 "Элементов:" command ViewLogMenu close message-box 20000 wait-exit)
e2e_check "a chosen option is not lost: the write fails and says so" "2" "$(grep -c '^message-box' <<<"$out")"
e2e_check "closed after it" "exit${T}0" "$(grep '^exit' <<<"$out")"

# A folder where the file should be.
rm -f "$APP_DIR/Config/Option.ini" && mkdir "$APP_DIR/Config/Option.ini"
out=$(e2e_driver launch "$EXE" message-box 20000 wait-window wait-status 0 "Элементов:" close wait-exit)
e2e_check "a folder in its place: one box, normal close" "1 exit${T}0" \
  "$(grep -c '^message-box' <<<"$out") $(grep '^exit' <<<"$out")"
[ -d "$APP_DIR/Config/Option.ini" ] && echo "ok: the folder stays" ||
  { echo "FAILED: the folder was replaced"; E2E_FAILURES=$((E2E_FAILURES + 1)); }

# Readable at start, locked by the time the window closes: it closes and the file stays.
rmdir "$APP_DIR/Config/Option.ini"
printf '%s' "$stored" >"$APP_DIR/Config/Option.ini"
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" >/dev/null
out=$(e2e_driver lock "$INI_WIN" attach close wait-exit)
e2e_check "locked at close: it closes" "exit${T}0" "$(grep '^exit' <<<"$out")"
e2e_check "the file is left as it was" "$stored" "$(cat "$APP_DIR/Config/Option.ini")"
e2e_finish
