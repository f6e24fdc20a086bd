#!/usr/bin/env bash
# Removing programs: the uninstaller starts with its arguments, an entry is deleted after its
# backup is written, the backups page restores every key exactly into the view it came from,
# the registry-editor jump and the report.
source "$(dirname "$0")/lib.sh"
: "${FAKE_UNINSTALLER:?}"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
UNINSTALL=$UNINSTALL_KEY WOW=$WOW_UNINSTALL_KEY

e2e_prefix
e2e_seed "$E2E_DIR/seed/removal.reg"
mkdir -p "$WINEPREFIX/drive_c/Tools"
cp "$FAKE_UNINSTALLER" "$WINEPREFIX/drive_c/Tools/fake uninstaller.exe"
# The installer service is started from the system folder by its full path, never found in the
# program's folder or through a command interpreter: the stand-in takes its place there (Wine
# runs its own msiexec whatever file is there unless told to load the file).
for folder in system32 syswow64; do
  [ -d "$WINEPREFIX/drive_c/windows/$folder" ] &&
    cp "$FAKE_UNINSTALLER" "$WINEPREFIX/drive_c/windows/$folder/msiexec.exe"
done
cp "$FAKE_UNINSTALLER" "$APP_DIR/msiexec.exe"
"$WINE" reg add 'HKCU\Software\Wine\DllOverrides' /v msiexec.exe /d native /f /reg:64 >/dev/null 2>&1

before64=$(export_key "HKEY_LOCAL_MACHINE\\$UNINSTALL\\RoundTrip64" before64)
before32=$(export_key "HKEY_LOCAL_MACHINE\\$WOW\\RoundTrip32" before32)
beforeUser=$(export_key "HKEY_CURRENT_USER\\$UNINSTALL\\RoundTripUser" beforeUser)

# Uninstallers: a plain command through its file and parameters; an installer-database entry
# through msiexec /X with its product code, as a queue of one would run them.
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов: 9" \
  select-name "Round Trip User" command UninstallUninstallMenu sleep 500 \
  select-name "Installer Product" command UninstallUninstallMenu sleep 500 \
  select-name "Round Trip 32" command RegistryKeyOpenUninstallMenu sleep 1000 >/dev/null
# The started programs run on their own; wait for what they leave behind.
wait_lines() {  # wait_lines FILE N
  for _ in $(seq 100); do
    [ "$(tr -d '\r' <"$1" 2>/dev/null | wc -l)" -ge "$2" ] && return 0
    sleep 0.2
  done
}
msi_started() { cat "$WINEPREFIX"/drive_c/windows/*/started.txt 2>/dev/null; }
wait_lines "$WINEPREFIX/drive_c/Tools/started.txt" 1
for _ in $(seq 100); do [ -n "$(msi_started)" ] && break; sleep 0.2; done
started=$(tr -d '\r' <"$WINEPREFIX/drive_c/Tools/started.txt" 2>/dev/null)
e2e_check "uninstaller started with its arguments" \
  '"C:\Tools\fake uninstaller.exe" /S --mode=quiet' "$started"
msi=$(msi_started | tr -d '\r' | sed 's/^[^ "]*\\msiexec\.exe /msiexec.exe /I')
e2e_check "an installer entry: msiexec from the system folder with /X and its code, nothing else" \
  "msiexec.exe /X{11111111-2222-3333-4444-555555555555}|no" \
  "$msi|$([ -e "$APP_DIR/started.txt" ] && echo yes || echo no)"
# The list's shortcuts: Shift+Del runs the uninstaller again, Del asks before deleting.
out=$(e2e_driver attach select-name "Round Trip User" key ListViewUninstall 46 shift sleep 500 \
  key ListViewUninstall 46 message-box 10000 no)
wait_lines "$WINEPREFIX/drive_c/Tools/started.txt" 2
e2e_check "Shift+Del and Del" "2
message-box${T}Внимание!${T}Удалить [ Round Trip User ] ?" \
  "$(tr -d '\r' <"$WINEPREFIX/drive_c/Tools/started.txt" | wc -l)
$(grep '^message-box' <<<"$out")"
regedit='HKCU\Software\Microsoft\Windows\CurrentVersion\Applets\Regedit'
lastkey=$("$WINE" reg query "$regedit" /v LastKey /reg:64 2>/dev/null | tr -d '\r' | grep LastKey | sed 's/.*REG_SZ *//')
e2e_check "registry editor position" "HKEY_LOCAL_MACHINE\\$WOW\\RoundTrip32" "$lastkey"

# The report holds the list as shown; markup in a name is text, not markup.
mkdir -p "$WINEPREFIX/drive_c/Reports"
e2e_driver attach command LogCreateMenu save-dialog 'C:\Reports\list.html' >/dev/null
for _ in $(seq 50); do [ -s "$WINEPREFIX/drive_c/Reports/list.html" ] && break; sleep 0.2; done
report=$(python3 "$E2E_DIR/check_html.py" "$WINEPREFIX/drive_c/Reports/list.html" 2>&1 || true)
echo "$report"
e2e_check "report parses strictly, header and every row" \
  "Установленные программы${T}Издатель${T}Версия${T}Дата установки${T}Путь установки
..\\..\\evil${T}-${T}-${T}$(date +%d.%m.%Y)${T}-
<b>Bold</b> & <script>alert(1)</script>${T}Кавычки \"и\" 'апострофы'${T}-${T}$(date +%d.%m.%Y)${T}-" \
  "$(head -3 <<<"$report")"
e2e_check "report rows" "10" "$(wc -l <<<"$report" | tr -d ' ')"

# "No" changes nothing; "Yes" writes the backup and deletes the key in both views.
out=$(e2e_driver attach select-name "Round Trip 64" command DeleteKeyUninstallMenu message-box 10000 no \
  status)
e2e_check "question" "message-box${T}Внимание!${T}Удалить [ Round Trip 64 ] ?" \
  "$(grep '^message-box' <<<"$out")"
key_exists "HKLM\\$UNINSTALL\\RoundTrip64" 64 && echo "ok: No keeps the key" ||
  { echo "FAILED: No deleted the key"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
count=9
for name in "Round Trip 64" "Round Trip 32" "Round Trip User" "Both Views" "..\\..\\evil" Twin Twin; do
  count=$((count - 1))
  e2e_driver attach select-name "$name" command DeleteKeyUninstallMenu message-box 10000 yes \
    wait-status 0 "Элементов: $count" 30000 >/dev/null ||
    { echo "FAILED: deleting $name"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
done
gone=""
for key in "HKLM\\$UNINSTALL\\RoundTrip64" "HKLM\\$WOW\\RoundTrip32" "HKCU\\$UNINSTALL\\RoundTripUser" \
  "HKLM\\$UNINSTALL\\BothViews" "HKLM\\$WOW\\BothViews" "HKCU\\$UNINSTALL\\Evil" \
  "HKCU\\$UNINSTALL\\Twin1" "HKCU\\$UNINSTALL\\Twin2"; do
  key_exists "$key" 64 && gone+="$key still there; "
done
e2e_check "keys deleted in both views with their sub-keys" "" "$gone"
backups=$(cd "$APP_DIR/backup" && ls -1A | LC_ALL=C sort)
e2e_check "backups inside the folder, none overwritten" ".._.._evil.reg
Both Views.reg
Round Trip 32.reg
Round Trip 64.reg
Round Trip User.reg
Twin (2).reg
Twin.reg" "$backups"
e2e_check "nothing written outside" "" "$(ls "$WINEPREFIX/drive_c" | grep -i evil)"
e2e_check "backup is UTF-16 with mark" "fffe" "$(head -c2 "$APP_DIR/backup/Round Trip 64.reg" | od -An -tx1 | tr -d ' \n')"

# The backups page lists the files, those of a sub-folder named *.reg after them, then the
# records kept before the uninstallers ran.
mkdir -p "$APP_DIR/backup/old.reg"
printf 'REGEDIT4\r\n' >"$APP_DIR/backup/old.reg/Older.reg"
out=$(e2e_driver attach click ButtonBackupsUninstall wait-rows-over ListViewBackupsUninstall 7 \
  list-rows ListViewBackupsUninstall 3)
names=$(grep '^list-row' <<<"$out" | cut -f2 | grep -v '^Запись: ' | sort | paste -sd'|')
e2e_check "a record of each uninstall started, after the backups" "Запись: Installer Product
Запись: Round Trip User
Запись: Round Trip User" "$(grep '^list-row' <<<"$out" | cut -f2 | sed -n '9,$p' | sort)"
e2e_check "backups listed, with the sub-folder's" \
  "$( (cd "$APP_DIR/backup" && ls -1A | grep -v '^old.reg$'; echo Older.reg) | sort | paste -sd'|')" "$names"
e2e_check "size and date of a backup" "$(stat -c %s "$APP_DIR/backup/Twin.reg" | awk '{printf "%d b", $1}')${T}$(date +%d.%m.%y)" \
  "$(grep $'^list-row\tTwin.reg' <<<"$out" | cut -f3,4 | cut -c1-17 | sed 's/ [0-9:]*$//')"

# Restore through the page: every key comes back into the view it was taken from, with the
# same types and bytes, and the entries are listed again after a refresh.
restore() {  # restore FILE KEY: restores FILE from the page and waits for KEY
  local row
  row=$(grep '^list-row' <<<"$out" | cut -f2 | grep -n -x -F "$1" | cut -d: -f1)
  e2e_driver attach select-in ListViewBackupsUninstall $((row - 1)) command BackupsRestoreMenu >/dev/null
  for _ in $(seq 50); do key_exists "$2" 64 && return 0; sleep 0.2; done
  echo "FAILED: $1 not restored"; E2E_FAILURES=$((E2E_FAILURES + 1))
}
restore "Round Trip 64.reg" "HKLM\\$UNINSTALL\\RoundTrip64"
restore "Round Trip 32.reg" "HKLM\\$WOW\\RoundTrip32"
restore "Round Trip User.reg" "HKCU\\$UNINSTALL\\RoundTripUser"
restore "Twin.reg" "HKCU\\$UNINSTALL\\Twin1"
restore "Both Views.reg" "HKLM\\$WOW\\BothViews"
e2e_check "64-bit entry restored" "$before64" \
  "$(export_key "HKEY_LOCAL_MACHINE\\$UNINSTALL\\RoundTrip64" after64)"
e2e_check "32-bit entry restored" "$before32" \
  "$(export_key "HKEY_LOCAL_MACHINE\\$WOW\\RoundTrip32" after32)"
e2e_check "per-user entry restored" "$beforeUser" \
  "$(export_key "HKEY_CURRENT_USER\\$UNINSTALL\\RoundTripUser" afterUser)"
views=""
for key in RoundTrip64 RoundTrip32 BothViews; do
  key="$UNINSTALL\\$key"
  key_exists "HKLM\\$key" 64 && views+="64 " || views+="- "
  key_exists "HKLM\\$key" 32 && views+="32; " || views+="-; "
done
e2e_check "restored into the views they came from (64-bit, 32-bit, twin in both)" \
  "64 -; - 32; 64 32; " "$views"
# The status still reads the count before the restores until the new scan has ended.
out=$(e2e_driver attach click ButtonUninstall command RefreshListMenu wait-status 0 "Элементов: 7" rows)
e2e_check "refresh lists them again" "Both Views|Round Trip 32|Round Trip 64|Round Trip User|Twin" \
  "$(grep '^row' <<<"$out" | cut -f2 | grep -E '^(Both|Round|Twin)' | paste -sd'|')"
out=$(e2e_driver attach click ButtonBackupsUninstall sleep 500 command BackupsDelAllMenu wait-rows ListViewBackupsUninstall 3 list-rows ListViewBackupsUninstall 1)
e2e_check "delete all takes the backups, not the records" "" "$(grep '^list-row' <<<"$out" | grep -v $'\tЗапись: ')"
e2e_check "backup folder emptied" "" "$(find "$APP_DIR/backup" -type f)"
e2e_driver attach close wait-exit >/dev/null

# No backup, no deletion: with "backup" taken by a file the user is told why and the key stays.
rm -rf "$APP_DIR/backup" && : >"$APP_DIR/backup"
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" select-name "Installer Product" \
  command DeleteKeyUninstallMenu message-box 10000 yes message-box 10000 close wait-exit)
e2e_check "backup failure reported" "message-box${T}Ошибка" "$(grep '^message-box' <<<"$out" | tail -1 | cut -f1,2)"
key_exists "HKCU\\$UNINSTALL\\{11111111-2222-3333-4444-555555555555}" 64 && echo "ok: key kept without a backup" ||
  { echo "FAILED: key deleted without a backup"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_finish
