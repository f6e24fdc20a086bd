#!/usr/bin/env bash
# The clean-up after an uninstall: what the removed program left is offered with its evidence
# and nothing of the program that stays; the record kept before the uninstall survives a crash;
# the chosen items go into a quarantine (a file in use stays and is named) and come back from
# the backups page byte for byte, with their times, keys and values in their own view.
source "$(dirname "$0")/lib.sh"
: "${QUEUE_FAKE:?}"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
shots=$E2E_WORK/screenshots
mkdir -p "$shots"

e2e_prefix
mkdir -p "$APP_DIR/Language"
cp "$(dirname "$CORVANDEL_EXE")"/Language/*.ini "$APP_DIR/Language/"
C=$WINEPREFIX/drive_c
roaming=$(ls -d "$C"/users/*/AppData/Roaming | grep -v /Public/ | head -1)
user=$(basename "$(dirname "$(dirname "$roaming")")")
ROAMING="C:\\users\\$user\\AppData\\Roaming"
PROGRAMS="$ROAMING\\Microsoft\\Windows\\Start Menu\\Programs"
A="$C/Program Files/Alpha Suite"
B="$C/Program Files/Beta Tool"
mkdir -p "$A/data" "$B" "$roaming/Contoso/Alpha Suite/cache" "$roaming/Contoso/Beta Tool" \
  "$roaming/Microsoft/Windows/Start Menu/Programs"
head -c 70000 /dev/urandom >"$A/alpha.exe"
printf 'один\r\n' >"$A/data/notes, 'quoted' & more.txt"
printf 'held open' >"$A/data/locked.dat"
printf '[main]\r\nx=1\r\n' >"$roaming/Contoso/Alpha Suite/settings.ini"
head -c 3000 /dev/urandom >"$roaming/Contoso/Alpha Suite/cache/c.bin"
printf 'beta' >"$roaming/Contoso/Beta Tool/beta.ini"
printf 'shared' >"$roaming/Contoso/shared.txt"
cp "$QUEUE_FAKE" "$A/unins.exe"
cp "$QUEUE_FAKE" "$B/unins.exe"
cp "$QUEUE_FAKE" "$B/beta.exe"
# A file whose path is longer than the old limit of 260 characters: it too goes and comes back.
long="$A/data/$(printf 'a%.0s' {1..60})/$(printf 'b%.0s' {1..60})/$(printf 'c%.0s' {1..60})/$(printf 'd%.0s' {1..60})"
mkdir -p "$long"
printf 'deep' >"$long/deep file.txt"
find "$A" "$roaming/Contoso" -type f -exec touch -d '2021-03-04 05:06:07' {} +
# Two programs whose entries name folders that are nobody's to remove: the user's Downloads and
# the drive's root. Only the files their entries name, and what starts those, are theirs.
DL="C:\\users\\$user\\Downloads"
dl="$C/users/$user/Downloads"
# Wine links the profile's folders to the home folder outside the prefix: this one becomes a
# folder of the prefix's own, so that the test writes nothing outside it.
rm -f "$dl"
mkdir -p "$dl/dtool" "$C/RootTool"
cp "$QUEUE_FAKE" "$dl/dtool/unins.exe"
cp "$QUEUE_FAKE" "$C/RootTool/unins.exe"
for f in "$dl/dtool.exe" "$dl/dtool/readme.txt" "$dl/photo.jpg" "$C/rtool.exe" "$C/RootTool/data.bin"; do
  printf 'x' >"$f"
done

UN='HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall'
RUN='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run'
printf '%s\r\n' 'Windows Registry Editor Version 5.00' '' \
  "[$UN\\AlphaSuite]" '"DisplayName"="Alpha Suite"' '"Publisher"="Contoso"' \
  '"InstallLocation"="C:\\Program Files\\Alpha Suite"' \
  '"DisplayIcon"="C:\\Program Files\\Alpha Suite\\alpha.exe,0"' \
  '"UninstallString"="\"C:\\Program Files\\Alpha Suite\\unins.exe\" /delete=HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AlphaSuite"' \
  '' "[$UN\\BetaTool]" '"DisplayName"="Beta Tool"' '"Publisher"="Contoso"' \
  '"InstallLocation"="C:\\Program Files\\Beta Tool"' \
  '"UninstallString"="\"C:\\Program Files\\Beta Tool\\unins.exe\""' '' \
  "[$RUN]" '"AlphaSuite"="\"C:\\Program Files\\Alpha Suite\\alpha.exe\" /tray"' \
  '"BetaTool"="\"C:\\Program Files\\Beta Tool\\beta.exe\" /min"' '' \
  '[HKEY_CURRENT_USER\Software\Contoso\Alpha Suite]' '"Path"="C:\\Program Files\\Alpha Suite"' \
  '"Count"=dword:00000007' '"Blob"=hex:00,ff,10,80' '"List"=hex(7):61,00,00,00,62,00,00,00,00,00' \
  '' '[HKEY_CURRENT_USER\Software\Contoso\Alpha Suite\Recent]' '"File1"="Документ.txt"' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Contoso\Alpha Suite]' '"Seats"=dword:00000003' '' \
  '[HKEY_CURRENT_USER\Software\Contoso\Beta Tool]' '"Path"="C:\\Program Files\\Beta Tool"' '' \
  >"$E2E_WORK/leftovers.reg"
e2e_seed "$E2E_WORK/leftovers.reg"
python3 - "$E2E_WORK/odd-folders.reg" "$DL" <<'PY'
import sys
path, dl = sys.argv[1], sys.argv[2]
un = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
short = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
def q(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
entries = {
    "DToolDl": {"DisplayName": "Download Tool", "Publisher": "Fabrikam", "InstallLocation": dl,
                "DisplayIcon": dl + r"\dtool.exe",
                "UninstallString": '"%s\\dtool\\unins.exe" /delete=%s\\DToolDl' % (dl, short)},
    "RootTool": {"DisplayName": "Root Tool", "Publisher": "Fabrikam", "InstallLocation": "C:\\",
                 "DisplayIcon": r"C:\rtool.exe",
                 "UninstallString": r'"C:\RootTool\unins.exe" /delete=' + short + r"\RootTool"},
}
out = ["Windows Registry Editor Version 5.00", ""]
for key, values in entries.items():
    out.append("[%s\\%s]" % (un, key))
    out += [q(name) + "=" + q(value) for name, value in values.items()]
    out.append("")
out += [r"[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]",
        q("DTool") + "=" + q('"%s\\dtool.exe" /bg' % dl), ""]
open(path, "w", encoding="utf-8").write("\r\n".join(out))
PY
e2e_seed "$E2E_WORK/odd-folders.reg"
e2e_driver shortcut "$PROGRAMS\\Alpha Suite.lnk" 'C:\Program Files\Alpha Suite\alpha.exe' \
  shortcut "$PROGRAMS\\Beta Tool.lnk" 'C:\Program Files\Beta Tool\beta.exe' >/dev/null

# What is there before: every file with its digest and modification time, the key and values.
snapshot() {
  (cd "$C" && find "Program Files/Alpha Suite" "users/$user/AppData/Roaming/Contoso" \
    "users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs" -type f \
    -printf '%p %T@ ' -exec sha256sum {} \; 2>/dev/null | sed 's/  .*//' | sort)
}
before_files=$(snapshot)
before_key=$(export_key 'HKEY_CURRENT_USER\Software\Contoso\Alpha Suite' before)
before_machine=$(export_key 'HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Contoso\Alpha Suite' before-machine)
before_run=$("$WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /reg:64 | tr -d '\r' | sort)

# The uninstaller removes only its entry; once it has ended the window lists what is left.
rows() { grep '^leftover' <<<"$1" | grep -v '^leftover-status' | cut -f2-5; }
# A copy that stays running writes to a file: it would hold a pipe open after the driver ends.
launch() { e2e_driver launch "$EXE" "$@" >"$E2E_WORK/out.txt"; cat "$E2E_WORK/out.txt"; }
out=$(launch wait-window wait-status 0 "Элементов:" select-name "Alpha Suite" \
  command UninstallUninstallMenu wait-leftovers "Найдено:" 120000)
import -window root "$shots/leftovers-found.png"
first=$(rows "$out")
echo "$first"
e2e_check "exactly Alpha's leftovers, the sure ones ticked, with their evidence" \
  "1${T}C:\\Program Files\\Alpha Suite${T}Папка${T}в папке программы: C:\\Program Files\\Alpha Suite
0${T}$ROAMING\\Contoso\\Alpha Suite${T}Папка${T}названа по программе в папке издателя: $ROAMING\\Contoso
1${T}$PROGRAMS\\Alpha Suite.lnk${T}Ярлык${T}указывает в папку программы: C:\\Program Files\\Alpha Suite
1${T}$RUN \"AlphaSuite\"${T}Автозапуск${T}указывает в папку программы: C:\\Program Files\\Alpha Suite
0${T}HKEY_CURRENT_USER\\Software\\Contoso\\Alpha Suite${T}Ключ реестра${T}ключ программы в разделе издателя: HKEY_CURRENT_USER\\Software\\Contoso
0${T}HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Contoso\\Alpha Suite${T}Ключ реестра${T}ключ программы в разделе издателя: HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Contoso" \
  "$first"

# The command line runs the same search on the same record: the same items, ticked alike.
out_win=$("$WINE" winepath -w "$E2E_WORK/cli.json" 2>/dev/null)
err_win=$("$WINE" winepath -w "$E2E_WORK/cli.err" 2>/dev/null)
"$WINE" "$CORVANDEL_DRIVER" run "$out_win" "$err_win" "\"$EXE\" /leftovers AlphaSuite /format=json" >/dev/null 2>&1
e2e_check "the command line offers what the window offers" "$(cut -f1-3 <<<"$first")" \
  "$(python3 - "$E2E_WORK/cli.json" <<'PY'
import json, sys
kinds = {"folder": "Папка", "file": "Файл", "shortcut": "Ярлык", "value": "Автозапуск", "key": "Ключ реестра"}
for row in json.load(open(sys.argv[1], encoding="utf-8")):
    print("%d\t%s\t%s" % (row["selected"], row["item"], kinds[row["kind"]]))
PY
)"

# What an offer is judged by: each kind under a heading with its count; the selected row whole
# in the details box, with what it starts; the count and size of what is ticked, kept as the
# ticks change (the install folder and the shortcut cleared, the 3014 bytes of the folder in
# Roaming ticked).
out=$(e2e_driver attach leftover-details 3 leftover-check 0 0 leftover-check 2 0 \
  leftover-check 1 1 wait-leftovers "Найдено:" leftover-tab 3)
e2e_check "headings with counts, the whole row in the details, the chosen total as ticked" \
  "heading${T}Папка (2)|heading${T}Ярлык (1)|heading${T}Автозапуск (1)|heading${T}Ключ реестра (2)
details${T}$RUN \"AlphaSuite\"${T}Автозапуск${T}Почему: указывает в папку программы: C:\\Program Files\\Alpha Suite${T}Запускает: \"C:\\Program Files\\Alpha Suite\\alpha.exe\" /tray
leftover-status${T}Найдено: 6. Выбрано: 2, 3 kb" \
  "$(grep '^heading' <<<"$out" | paste -sd'|')
$(grep -E '^(details|leftover-status)' <<<"$out")"
e2e_check "Tab goes from the list to the details, then to the buttons" \
  "focus${T}MemoLeftoversDetails${T}ButtonRemoveChosen${T}ButtonCancel" "$(grep '^focus' <<<"$out")"

# A crash between the uninstall and the clean-up loses nothing: the record is on the backups
# page after a restart and finds the same items.
e2e_driver attach kill >/dev/null
out=$(launch wait-window wait-status 0 "Элементов:" click ButtonBackupsUninstall \
  sleep 500 list-rows ListViewBackupsUninstall 1)
row=$(grep '^list-row' <<<"$out" | cut -f2 | grep -n -x -F "Запись: Alpha Suite" | cut -d: -f1)
e2e_check "the record is listed after a restart" "1" "$(grep -c . <<<"$row")"
out=$(e2e_driver attach select-in ListViewBackupsUninstall $((row - 1)) command BackupsLeftoversMenu \
  wait-leftovers "Найдено:")
e2e_check "the record finds the same items" "$first" "$(rows "$out")"

# Everything chosen, one file held open without sharing: that file stays and is named.
out=$(e2e_driver attach leftover-check 1 1 leftover-check 4 1 leftover-check 5 1 lock 'C:\Program Files\Alpha Suite\data\locked.dat' \
  leftover-click ButtonRemoveChosen message-box 10000 yes wait-leftovers "Удалено:" 60000)
import -window root "$shots/leftovers-removed.png"
echo "$out" | grep '^leftover'
e2e_check "the file in use is named, the rest removed" \
  "Не удалено: C:\\Program Files\\Alpha Suite\\data\\locked.dat|Удалено|Удалено|Удалено|Удалено|Удалено" \
  "$(grep $'^leftover\t' <<<"$out" | cut -f7 | sed 's/ — .*//' | paste -sd'|')"
left=$( (cd "$C" && find "Program Files/Alpha Suite" -type f; ls "users/$user/AppData/Roaming/Contoso") | sort | paste -sd'|')
e2e_check "only the file in use and what is Beta's or shared stay" \
  "Beta Tool|Program Files/Alpha Suite/data/locked.dat|shared.txt" "$left"
key_exists 'HKCU\Software\Contoso\Alpha Suite' 64 && e2e_check "key removed" "gone" "there"
key_exists 'HKLM\SOFTWARE\Contoso\Alpha Suite' 32 && e2e_check "32-bit key removed" "gone" "there"
"$WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v AlphaSuite /reg:64 >/dev/null 2>&1 &&
  e2e_check "Run value removed" "gone" "there"
e2e_check "Beta's start-up entry, key and shortcut stay" "yes" \
  "$("$WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /v BetaTool /reg:64 >/dev/null 2>&1 &&
    key_exists 'HKCU\Software\Contoso\Beta Tool' 64 &&
    [ -f "$roaming/Microsoft/Windows/Start Menu/Programs/Beta Tool.lnk" ] && echo yes)"

# The clean-up is on the backups page; "Восстановить" puts everything back as it was.
out=$(e2e_driver attach leftover-click ButtonCancel click ButtonBackupsUninstall sleep 500 \
  list-rows ListViewBackupsUninstall 1)
row=$(grep '^list-row' <<<"$out" | cut -f2 | grep -n -x -F "Остатки: Alpha Suite" | cut -d: -f1)
e2e_check "the clean-up is listed" "1" "$(grep -c . <<<"$row")"
# The page says what the quarantine holds; emptying what is older than 30 days keeps this one.
out=$(e2e_driver attach text LabelQuarantineUninstall command BackupsEmptyMonthMenu \
  message-box 10000 yes sleep 500 list-rows ListViewBackupsUninstall 1)
import -window root "$shots/backups-quarantine.png"
e2e_check "the quarantine's size is shown, and a fresh clean-up outlives emptying older ones" \
  "В карантине (очистки, их размер): 1|1" \
  "$(grep '^text' <<<"$out" | cut -f2 | sed 's/\(: [0-9]*\), .*/\1/')|$(grep '^list-row' <<<"$out" | cut -f2 | grep -c -x -F "Остатки: Alpha Suite")"
e2e_driver attach select-in ListViewBackupsUninstall $((row - 1)) command BackupsRestoreMenu sleep 1000 >/dev/null
e2e_check "every file back, byte for byte, with its time" "$before_files" "$(snapshot)"
e2e_check "the key back with its types and bytes" "$before_key" \
  "$(export_key 'HKEY_CURRENT_USER\Software\Contoso\Alpha Suite' after)"
e2e_check "the 32-bit key back into the 32-bit view alone" "$before_machine|32" \
  "$(export_key 'HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Contoso\Alpha Suite' after-machine)|$(
    key_exists 'HKLM\SOFTWARE\Contoso\Alpha Suite' 32 && echo -n 32
    key_exists 'HKLM\SOFTWARE\Contoso\Alpha Suite' 64 && echo -n 64)"
e2e_check "the start-up entry back" "$before_run" \
  "$("$WINE" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' /reg:64 | tr -d '\r' | sort)"
e2e_check "a restored clean-up leaves the quarantine, its record back in place" \
  "|Alpha Suite" "$(find "$DATA_DIR/quarantine" -type f | paste -sd'|')|$(ls "$DATA_DIR/records" | cut -d' ' -f1,2)"

# In English and the dark look, through the queue: for entries that named the Downloads folder
# and the drive's root, only the files they named and the start-up entry that starts one.
out=$(e2e_driver attach command ThemeDark language 0 click ButtonUninstall \
  command RefreshListMenu wait-status 0 "Items:" 30000 select-none select-name "Download Tool" \
  select-name "Root Tool" command UninstallSelectedMenu queue-click ButtonStart wait-queue-done 60000 \
  queue-click ButtonClose wait-leftovers "Found:" 120000)
import -window root "$shots/leftovers-dark-english.png"
# Paths compare as Windows compares them, whatever their case.
e2e_check "inside Downloads and a drive root, only what the entries named" \
  "$(printf '%s\n' 'C:\RootTool\unins.exe' 'C:\rtool.exe' "$DL\\dtool.exe" "$DL\\dtool\\unins.exe" \
    "$RUN \"DTool\"" | tr '[:upper:]' '[:lower:]' | LC_ALL=C sort | paste -sd'|')" \
  "$(grep $'^leftover\t' <<<"$out" | cut -f3 | tr '[:upper:]' '[:lower:]' | LC_ALL=C sort | paste -sd'|')"
# Told it moved to a monitor at 150%, the window and every control in it grow by half. (The
# dark look draws the buttons itself, so their texts' needs are not read here.)
out=$(e2e_driver attach dialog-layout leftovers dpi-changed leftovers 96 144 dialog-layout leftovers)
layouts=$(grep -v needs <<<"$out" | awk -F'\t' '$2 == "client" {n++} {print n "\t" $0}')
e2e_check "at 150% every place and size is half as large again" "" \
  "$(paste <(awk -F'\t' '$1 == 1' <<<"$layouts") <(awk -F'\t' '$1 == 2' <<<"$layouts") |
    awk -F'\t' '{ n = NF / 2; for (i = 4; i <= n; i++) { d = $(i + n) - 1.5 * $i
      if (d < -2 || d > 2) print $3, $4, "field " i ": " $i " -> " $(i + n) } }')"
e2e_check "both layouts read, the list, the details, the status line and the two buttons in each" "10" \
  "$(grep -c $'^leftovers\trect' <<<"$out")"
e2e_driver attach close wait-exit >/dev/null
e2e_finish
