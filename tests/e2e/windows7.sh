#!/usr/bin/env bash
# On Windows 7 the program refuses to run with an error box and ends.
source "$(dirname "$0")/lib.sh"
: "${WINE_WIN7_PREFIX:?}"
T=$'\t'

e2e_prefix "$WINE_WIN7_PREFIX"
out=$(e2e_driver launch "$APP_DIR_WIN\\Corvandel.exe" message-box 30000 wait-exit 20000)
echo "$out"
e2e_check "refusal" "message-box${T}Ошибка${T}Эта программа совместима только с Windows 10 и Windows 11.
exit${T}0" "$out"

# With English chosen, the refusal comes in English.
: >"$APP_DIR/portable.ini"
mkdir -p "$APP_DIR/Config" "$APP_DIR/Language"
cp "$(dirname "$CORVANDEL_EXE")/Language/English.ini" "$APP_DIR/Language/"
printf '[Language]\r\nLanguage=English\r\n' >"$APP_DIR/Config/Option.ini"
out=$(e2e_driver launch "$APP_DIR_WIN\\Corvandel.exe" message-box 30000 wait-exit 20000)
e2e_check "refusal in English" "message-box${T}Error${T}This program runs only on Windows 10 and Windows 11.
exit${T}0" "$out"
e2e_finish
