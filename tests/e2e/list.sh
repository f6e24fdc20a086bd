#!/usr/bin/env bash
# The program list as a user sees it: the filter, the nine columns, the sources and the
# order, read from the running program. The 32-bit program is read through both registry
# views and listed once, with its WOW6432Node path.
source "$(dirname "$0")/lib.sh"

e2e_prefix
e2e_seed "$E2E_DIR/seed/acceptance.reg"
e2e_file 'C:\Program Files\Acme Paint\paint.exe'

# Icon sources and folders taken from them fill in after the count.
out=$(e2e_driver launch "$APP_DIR_WIN\\Corvandel.exe" wait-window wait-status 0 "Элементов:" \
  wait-status-not 1 "Загрузка данных" caption status rows close wait-exit)
echo "$out"

today=$(date +%d.%m.%Y)
uninstall='\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
wow='\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall'
T=$'\t'
expected_rows=$(cat <<ROWS
row${T}Acme Paint${T}Acme Corp${T}3.1.4${T}$today${T}C:\\Program Files\\Acme Paint\\${T}"C:\\Program Files\\Acme Paint\\uninstall.exe" /S${T}HKEY_LOCAL_MACHINE${T}$uninstall\\Acme Paint${T}https://acme.example/paint${T}c:\\program files\\acme paint\\paint.exe
row${T}Retro Player 2.5${T}Retro Soft${T}2.5.0${T}$today${T}C:\\Program Files (x86)\\Retro Player\\${T}"C:\\Program Files (x86)\\Retro Player\\unins000.exe"${T}HKEY_LOCAL_MACHINE${T}$wow\\Retro Player_is1${T}${T}
row${T}Tiny Notes${T}Tiny Notes Team${T}0.9${T}$today${T}${T}"C:\\users\\Public\\TinyNotes\\Uninstall Tiny Notes.exe"${T}HKEY_CURRENT_USER${T}$uninstall\\TinyNotes${T}${T}
row${T}Visible System Zero${T}${T}${T}$today${T}${T}C:\\Visible\\remove.exe -uninstall${T}HKEY_LOCAL_MACHINE${T}$uninstall\\VisibleSystemZero${T}${T}
row${T}Контур Офис 2024${T}ООО «Контур»${T}24.1.1100${T}$today${T}C:\\windows\\system32\\${T}MsiExec.exe /X{6F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E8}${T}HKEY_LOCAL_MACHINE${T}$uninstall\\{6F1A2B3C-4D5E-4F60-8172-93A4B5C6D7E8}${T}${T}C:\\windows\\system32\\msiexec.exe
ROWS
)

e2e_check "caption" "caption${T}Corvandel 1.0.0.1 $(bitness_tag)" "$(grep '^caption' <<<"$out")"
e2e_check "row count" "status${T}Элементов: 5" "$(grep '^status' <<<"$out" | cut -f1,2)"
e2e_check "rows" "$expected_rows" "$(grep '^row' <<<"$out")"
e2e_check "clean exit" "exit${T}0" "$(grep '^exit' <<<"$out")"

# No source yields an entry: an empty list and a count of 0.
e2e_prefix
out=$(e2e_driver launch "$APP_DIR_WIN\\Corvandel.exe" wait-window wait-status 0 "Элементов:" \
  status rows close wait-exit)
e2e_check "empty list" "status${T}Элементов: 0${T}" "$(grep -E '^(status|row)' <<<"$out")"
e2e_finish
