#!/usr/bin/env bash
# Icons at scale: the count and the rows come first, icons and icon sources fill in after,
# each distinct picture once; a search, a refresh or a close while they load works on the
# rows as they are.
source "$(dirname "$0")/lib.sh"

e2e_prefix
count=400
reg="$E2E_WORK/many.reg"
{
  printf 'Windows Registry Editor Version 5.00\r\n\r\n'
  for i in $(seq -w 1 $count); do
    # Odd entries show one program's icon, even ones another's; every file is its own path.
    if [ $((10#$i % 2)) = 1 ]; then tool=notepad; else tool=regedit; fi
    printf '[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Icon %s]\r\n' "$i"
    printf '"DisplayName"="Icon Test %s"\r\n' "$i"
    printf '"UninstallString"="\\"C:\\\\Apps\\\\%s\\\\unins.exe\\""\r\n' "$i"
    printf '"DisplayIcon"="C:\\\\Apps\\\\%s\\\\%s.exe,0"\r\n\r\n' "$i" "$tool"
  done
  printf '[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Plain]\r\n'
  printf '"DisplayName"="No Icon File"\r\n"UninstallString"="C:\\\\Gone\\\\unins.exe"\r\n\r\n'
} >"$reg"
e2e_seed "$reg"
for i in $(seq -w 1 $count); do
  if [ $((10#$i % 2)) = 1 ]; then
    from=$WINEPREFIX/drive_c/windows/system32/notepad.exe; tool=notepad
  else
    from=$WINEPREFIX/drive_c/windows/regedit.exe; tool=regedit
  fi
  mkdir -p "$WINEPREFIX/drive_c/Apps/$i"
  ln -f "$from" "$WINEPREFIX/drive_c/Apps/$i/$tool.exe"
done
total=$((count + 1))
EXE="$APP_DIR_WIN\\Corvandel.exe"
T=$'\t'

# A search typed as soon as the count shows, while icons load, then cleared.
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов: $total" 60000 \
  set-text EditSearchUninstall "Test 01" status set-text EditSearchUninstall "" \
  wait-status-not 1 "Загрузка данных" 60000 status images rows close wait-exit)
e2e_check "search while icons load" "status${T}Элементов: 10" \
  "$(grep '^status' <<<"$out" | head -1 | cut -f1,2)"
e2e_check "all rows back" "status${T}Элементов: $total" \
  "$(grep '^status' <<<"$out" | tail -1 | cut -f1,2)"
# The pictures as a user sees them: every odd entry one slot, every even one another, the
# entry without an icon file a third. Which picture comes first is up to the worker threads.
check_pictures() {  # check_pictures WHEN IMAGE-LINES
  local images=$2
  index_of() { grep -F "${T}$1${T}" <<<"$images" | cut -f3; }
  local notepad regedit plain
  notepad=$(index_of "Icon Test 001")
  regedit=$(index_of "Icon Test 002")
  plain=$(index_of "No Icon File")
  e2e_check "$1: one slot for every file with the first picture" "$notepad" \
    "$(grep -E "Icon Test [0-9]*[13579]${T}" <<<"$images" | cut -f3 | sort -u)"
  e2e_check "$1: one slot for every file with the second picture" "$regedit" \
    "$(grep -E "Icon Test [0-9]*[02468]${T}" <<<"$images" | cut -f3 | sort -u)"
  [ -n "$notepad" ] && [ "$notepad" != "$regedit" ] && [ "$plain" != "$notepad" ] &&
    [ "$plain" != "$regedit" ] && echo "ok: $1: three different pictures" ||
    { echo "FAILED: $1: pictures $notepad $regedit $plain"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
}
check_pictures "first scan" "$(grep '^image' <<<"$out")"
e2e_check "icon source and folder filled in" \
  "c:\\apps\\137\\${T}c:\\apps\\137\\notepad.exe" \
  "$(grep -F "row${T}Icon Test 137${T}" <<<"$out" | cut -f6,11)"

# A refresh while icons load starts them again for the new rows; the pictures are the same.
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов: $total" 60000 \
  command RefreshListMenu wait-status-not 0 "Элементов:" 60000 \
  wait-status 0 "Элементов: $total" 60000 wait-status-not 1 "Загрузка данных" 60000 images \
  close wait-exit)
check_pictures "refresh while icons load" "$(grep '^image' <<<"$out")"

# Closing while icons load ends the program; the work in progress is dropped.
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов: $total" 60000 \
  close wait-exit 10000)
e2e_check "close while icons load" "exit${T}0" "$(grep '^exit' <<<"$out")"
e2e_finish
