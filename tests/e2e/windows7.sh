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
e2e_finish
