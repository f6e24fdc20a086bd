#!/usr/bin/env bash
# The window while a long scan runs: a column click, a text in the search box and another
# language arrive in the middle of it; the list that results is the whole scan, sorted and
# filtered as those asked, never a mix of two lists. Closing in the middle ends the program.
source "$(dirname "$0")/lib.sh"

e2e_prefix
mkdir -p "$APP_DIR/Language"
cp "$(dirname "$CORVANDEL_EXE")"/Language/*.ini "$APP_DIR/Language/"
count=5000
reg="$E2E_WORK/busy.reg"
# Each entry has as many values as real ones have, so that its key is read a value at a time.
python3 - "$count" >"$reg" <<'PY'
import sys
out = ["Windows Registry Editor Version 5.00", ""]
for i in range(1, int(sys.argv[1]) + 1):
    out += [r"[HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\B%05d]" % i,
            '"DisplayName"="Busy %05d"' % i, '"Publisher"="Pub"',
            r'"UninstallString"="C:\\Gone\\unins.exe"', '"DisplayVersion"="1.%d"' % i,
            r'"InstallLocation"="C:\\Gone\\"', '"URLInfoAbout"="https://example.invalid/"',
            '"HelpLink"="https://example.invalid/help"', '"Comments"="busy"',
            '"Contact"="nobody"', '"EstimatedSize"=dword:00000400', '"NoModify"=dword:00000001',
            '"NoRepair"=dword:00000001', r'"InstallSource"="C:\\Gone\\src\\"', ""]
print("\r\n".join(out))
PY
e2e_seed "$reg"
EXE="$APP_DIR_WIN\\Corvandel.exe"
T=$'\t'

# English is the first language item. All of it arrives once the scan shows what it reads;
# the status is read right after, to show the scan was still running when it had arrived.
out=$(e2e_driver launch "$EXE" wait-window wait-status 1 "Загрузка данных" 60000 \
  column-click 0 set-text EditSearchUninstall "Busy 01" \
  language 0 column-click 1 status wait-status 0 "Items:" 120000 status rows \
  set-text EditSearchUninstall "" wait-status 0 "Items: $count" status rows close wait-exit)
e2e_check "the scan was under way" "status${T}" "$(grep '^status' <<<"$out" | head -1 | cut -f1,2)"
e2e_check "the search text filters the finished scan, counted in English" \
  "status${T}Items: 1000" "$(grep '^status' <<<"$out" | sed -n 2p | cut -f1,2)"
names=$(grep '^row' <<<"$out" | cut -f2)
filtered=$(head -1000 <<<"$names")
e2e_check "the filtered rows, in name order" "$(seq -f 'Busy 01%03g' 0 999)" "$filtered"
e2e_check "every row once, in name order" "$(seq -f 'Busy %05g' 1 $count)" "$(tail -n +1001 <<<"$names")"
e2e_check "clean exit" "exit${T}0" "$(grep '^exit' <<<"$out")"

# Closing in the middle of the scan ends the program at once, with the settings saved.
settings=$(find "$WINEPREFIX/drive_c/users" -name Option.ini)
rm -f "$settings"
out=$(e2e_driver launch "$EXE" wait-window status close wait-exit)
e2e_check "close during the scan" "status${T}${T}exit${T}0" \
  "$(grep -E '^(status|exit)' <<<"$out" | cut -f1,2 | paste -sd"$T")"
test -s "$settings" && echo "ok: settings saved" ||
  { echo "FAILED: no settings written"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_finish
