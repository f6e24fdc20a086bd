#!/usr/bin/env bash
# Uninstalling several programs in a row: each entry's quiet command in order, one at a time,
# an uninstaller that hands its work to a copy of itself waited for, the states the queue
# shows for each outcome, "Стоп", modify and repair, and the filter of entries whose
# uninstaller is gone.
source "$(dirname "$0")/lib.sh"
: "${QUEUE_FAKE:?}"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
shots=$E2E_WORK/screenshots
mkdir -p "$shots"

e2e_prefix
mkdir -p "$APP_DIR/Language"
cp "$(dirname "$CORVANDEL_EXE")"/Language/*.ini "$APP_DIR/Language/"
fakes=$WINEPREFIX/drive_c/Fakes
mkdir -p "$fakes/Gamma" "$fakes/With Space"
for name in alpha delta eps zeta kappa lambda mu nu; do cp "$QUEUE_FAKE" "$fakes/$name.exe"; done
cp "$QUEUE_FAKE" "$fakes/Gamma/unins000.exe"
cp "$QUEUE_FAKE" "$fakes/With Space/un.exe"
# The installer service stands in too, in the system folder the queue starts it from; Wine
# runs its own msiexec whatever file is there unless told to load the file.
for folder in system32 syswow64; do
  if [ -d "$WINEPREFIX/drive_c/windows/$folder" ]; then
    cp "$QUEUE_FAKE" "$WINEPREFIX/drive_c/windows/$folder/msiexec.exe"
  fi
done
"$WINE" reg add 'HKCU\Software\Wine\DllOverrides' /v msiexec.exe /d native /f /reg:64 >/dev/null
LOG="$WINEPREFIX/drive_c/queue-log.txt"
CODE='{11111111-2222-3333-4444-555555555555}'

python3 - "$E2E_WORK/queue.reg" "$CODE" <<'PY'
import sys
path, code = sys.argv[1], sys.argv[2]
root = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
short = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
def q(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
entries = {
    "AlphaQuiet": {"DisplayName": "Alpha Quiet", "InstallLocation": "C:\\Fakes",
                   "UninstallString": r'"C:\Fakes\alpha.exe" /interactive',
                   "QuietUninstallString": r'"C:\Fakes\alpha.exe" /quiet /delete=' + short + r"\AlphaQuiet"},
    code: {"DisplayName": "Beta Installer", "UninstallString": "MsiExec.exe /X" + code,
           "WindowsInstaller": 1},
    "Gamma_is1": {"DisplayName": "Gamma Inno",
                  "UninstallString": r'"C:\Fakes\Gamma\unins000.exe" /delete=' + short + r"\Gamma_is1",
                  "Inno Setup: App Path": r"C:\Fakes\Gamma"},
    "DeltaCopy": {"DisplayName": "Delta Copy", "UninstallString": r'"C:\Fakes\delta.exe"',
                  "QuietUninstallString": r'"C:\Fakes\delta.exe" /copy /wait=2000 /delete=' + short + r"\DeltaCopy"},
    "EpsKeep": {"DisplayName": "Epsilon Keep", "UninstallString": r'"C:\Fakes\eps.exe"',
                "QuietUninstallString": r'"C:\Fakes\eps.exe" /quiet'},
    "ZetaFails": {"DisplayName": "Zeta Fails", "UninstallString": r'"C:\Fakes\zeta.exe"',
                  "QuietUninstallString": r'"C:\Fakes\zeta.exe" /exit=1603'},
    "EtaMissing": {"DisplayName": "Eta Missing", "UninstallString": r'"C:\Fakes\nothere.exe" /x'},
    "KappaPlain": {"DisplayName": "Kappa Plain", "UninstallString": r'"C:\Fakes\kappa.exe"'},
    "LambdaSlow": {"DisplayName": "Lambda Slow", "UninstallString": r'"C:\Fakes\lambda.exe"',
                   "QuietUninstallString": r'"C:\Fakes\lambda.exe" /wait=3000 /delete=' + short + r"\LambdaSlow"},
    "MuNext": {"DisplayName": "Mu Next", "UninstallString": r'"C:\Fakes\mu.exe"',
               "QuietUninstallString": r'"C:\Fakes\mu.exe" /delete=' + short + r"\MuNext"},
    "NuNoModify": {"DisplayName": "Nu No Modify", "UninstallString": r'"C:\Fakes\nu.exe"',
                   "ModifyPath": r'"C:\Fakes\nu.exe" /modify', "NoModify": 1, "NoRepair": 1},
    "BrokenRundll": {"DisplayName": "Broken Rundll",
                     "UninstallString": r"rundll32.exe C:\Fakes\gone.dll,Uninstall"},
    "BrokenPath": {"DisplayName": "Broken Path", "UninstallString": r'"C:\Fakes\Nothing\un.exe"'},
    "SpacedPath": {"DisplayName": "Spaced Path", "UninstallString": r"C:\Fakes\With Space\un.exe /x"},
}
out = ["Windows Registry Editor Version 5.00", ""]
for key, values in entries.items():
    out.append("[%s\\%s]" % (root, key))
    for name, value in values.items():
        out.append(q(name) + "=" + ("dword:%08x" % value if isinstance(value, int) else q(value)))
    out.append("")
# Something that starts a file of Alpha's folder, for the record kept before it runs.
out += [r"[HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run]",
        q("AlphaTray") + "=" + q(r'"C:\Fakes\alpha.exe" /tray'), ""]
open(path, "w", encoding="utf-8").write("\r\n".join(out))
PY
e2e_seed "$E2E_WORK/queue.reg"
KEY="HKLM\\$UNINSTALL_KEY"

# The start and end of each fake's processes, in the order they started: "NAME START END".
runs() {
  tr -d '\r' <"$LOG" 2>/dev/null | python3 -c '
import re, sys
names, starts, ends = {}, {}, {}
for line in sys.stdin:
    parts = line.rstrip("\n").split(" ", 3)
    if parts[0] == "start":
        m = re.search(r"\\(\w+)\.exe", parts[3], re.I)
        names[parts[2]] = m.group(1).lower() if m else "?"
        starts[parts[2]] = int(parts[1])
    elif parts[0] == "end":
        ends[parts[2]] = int(parts[1])
for pid in sorted(starts, key=starts.get):
    print(names[pid], starts[pid], ends.get(pid, -1))'
}
# shot NAME: a screenshot once the driver touches C:\NAME.
shot() {
  for _ in $(seq 300); do [ -e "$WINEPREFIX/drive_c/$1" ] && break; sleep 0.2; done
  import -window root "$shots/$1.png" 2>/dev/null || true
  rm -f "$WINEPREFIX/drive_c/$1"
}
# The command line a fake was first started with; the installer service by its name alone (the
# system folder differs between the 32-bit and the 64-bit build).
command_of() {
  tr -d '\r' <"$LOG" | grep -i "^start .*\\\\$1\\.exe" | head -1 | cut -d' ' -f4- |
    sed 's/^[^ "]*\\msiexec\.exe /msiexec.exe /I'
}

# Seven entries, chosen in the list, run quietly where each allows it.
rm -f "$LOG"
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов: 14" wait-status-not 1 "Загрузка данных" \
  select-none select-name "Alpha Quiet" select-name "Beta Installer" select-name "Gamma Inno" \
  select-name "Delta Copy" select-name "Epsilon Keep" select-name "Zeta Fails" select-name "Eta Missing" \
  command UninstallSelectedMenu queue-rows queue-click ButtonStart \
  wait-queue-state 2 "Выполняется" 30000 touch 'C:\queue-light-russian' sleep 1500 \
  wait-queue-done 120000 queue-rows queue-status >"$E2E_WORK/first" &
driver=$!
shot queue-light-russian
wait "$driver" || true
out=$(cat "$E2E_WORK/first")
e2e_check "the queue lists the chosen entries in the list's order, waiting" \
  "Alpha Quiet${T}Ожидает|Beta Installer${T}Ожидает|Delta Copy${T}Ожидает|Epsilon Keep${T}Ожидает|Eta Missing${T}Ожидает|Gamma Inno${T}Ожидает|Zeta Fails${T}Ожидает" \
  "$(grep '^queue-row' <<<"$out" | head -7 | cut -f2,3 | paste -sd'|')"
e2e_check "each entry's outcome" \
  "Alpha Quiet${T}Удалена|Beta Installer${T}Удалена|Delta Copy${T}Удалена|Epsilon Keep${T}Осталась в списке|Eta Missing${T}Деинсталлятор не найден|Gamma Inno${T}Удалена|Zeta Fails${T}Ошибка, код 1603" \
  "$(grep '^queue-row' <<<"$out" | tail -7 | cut -f2,3 | paste -sd'|')"
e2e_check "progress" "queue-status${T}Готово: 7 из 7" "$(grep '^queue-status' <<<"$out")"
e2e_check "the entry's own quiet command, as written" \
  "\"C:\\Fakes\\alpha.exe\" /quiet /delete=$KEY\\AlphaQuiet" "$(command_of alpha)"
e2e_check "an installer entry through the installer service, quietly" \
  "msiexec.exe /X$CODE /qn /norestart" "$(command_of msiexec)"
e2e_check "an Inno Setup entry with its silent switches" \
  "\"C:\\Fakes\\Gamma\\unins000.exe\" /delete=$KEY\\Gamma_is1 /VERYSILENT /SUPPRESSMSGBOXES /NORESTART" \
  "$(command_of unins000)"
order=$(runs | awk '{print $1}' | uniq | paste -sd' ')
e2e_check "in the list's order; the missing one never started" "alpha msiexec delta eps unins000 zeta" "$order"
overlap=$(runs | awk '
  { name[NR] = $1; start[NR] = $2; end_[NR] = $3 }
  END {
    # The processes of one entry (an uninstaller and its copy) may overlap; two entries never.
    for (i = 1; i <= NR; i++) for (j = 1; j <= NR; j++)
      if (name[i] != name[j] && start[j] >= start[i] && start[j] < end_[i]) print name[i] " and " name[j]
  }')
e2e_check "never two entries at once, the copied uninstaller waited for" "" "$overlap"
left=""
for key in AlphaQuiet "$CODE" Gamma_is1 DeltaCopy; do key_exists "$KEY\\$key" 64 && left+="$key "; done
e2e_check "the entries the fakes deleted are gone" "" "$left"
key_exists "$KEY\\EpsKeep" 64 && echo "ok: a kept entry stays" || { echo "FAILED: EpsKeep gone"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
# A record of each entry was kept before its uninstaller started, with what pointed into its
# folder.
records=$DATA_DIR/records
e2e_check "a record for every uninstaller started" "6" "$(ls "$records" 2>/dev/null | grep -c '\.record$')"
e2e_check "the record names the entry and the Run value into its folder" "AlphaTray|name=Alpha Quiet" \
  "$(cat "$records"/Alpha\ Quiet*.record 2>/dev/null | tr -d '\r' | grep -o -e '^name=Alpha Quiet' -e 'AlphaTray' | LC_ALL=C sort -u | paste -sd'|')"

# The list was read once more at the end.
out=$(e2e_driver attach wait-status 0 "Элементов: 10" 30000 queue-click ButtonClose status)
e2e_check "the list refreshed once the queue ended" "Элементов: 10" "$(grep '^status' <<<"$out" | cut -f2)"

# In English and the dark look: quiet only skips an entry without a quiet way; "Stop" while
# one runs lets it end and starts nothing more.
rm -f "$LOG"
e2e_driver attach command ThemeDark language 0 wait-status 0 "Items: 10" 30000 \
  select-none select-name "Kappa Plain" select-name "Lambda Slow" select-name "Mu Next" \
  command UninstallSelectedMenu queue-click RadioQuietOnly queue-click ButtonStart \
  wait-queue-state 1 "Running" 30000 touch 'C:\queue-dark-english' sleep 1000 \
  queue-click ButtonStop wait-queue-done 60000 queue-rows >"$E2E_WORK/second" &
driver=$!
shot queue-dark-english
wait "$driver" || true
out=$(cat "$E2E_WORK/second")
e2e_check "skipped, finished after Stop, cancelled" \
  "Kappa Plain${T}Skipped: no quiet way|Lambda Slow${T}Removed|Mu Next${T}Cancelled" \
  "$(grep '^queue-row' <<<"$out" | cut -f2,3 | paste -sd'|')"
e2e_check "only the running one ran" "lambda" "$(runs | awk '{print $1}' | uniq | paste -sd' ')"
e2e_driver attach queue-click ButtonClose wait-status 0 "Items: 9" 30000 >/dev/null ||
  { echo "FAILED: no refresh after the second queue"; E2E_FAILURES=$((E2E_FAILURES + 1)); }

# Modify and repair start the installer service for an installer entry; an entry that says
# NoModify and NoRepair starts neither.
"$WINE" reg add "$KEY\\$CODE" /v DisplayName /d "Beta Installer" /f /reg:64 >/dev/null
"$WINE" reg add "$KEY\\$CODE" /v UninstallString /d "MsiExec.exe /X$CODE" /f /reg:64 >/dev/null
"$WINE" reg add "$KEY\\$CODE" /v WindowsInstaller /t REG_DWORD /d 1 /f /reg:64 >/dev/null
rm -f "$LOG"
e2e_driver attach command RefreshListMenu wait-status 0 "Items: 10" 30000 \
  select-none select-name "Beta Installer" command ModifyUninstallMenu sleep 1500 \
  command RepairUninstallMenu sleep 1500 \
  select-none select-name "Nu No Modify" command ModifyUninstallMenu command RepairUninstallMenu sleep 1500 >/dev/null
e2e_check "modify and repair of an installer entry; nothing for NoModify and NoRepair" \
  "msiexec.exe /I$CODE|msiexec.exe /fa$CODE" \
  "$(tr -d '\r' <"$LOG" | grep '^start' | cut -d' ' -f4- | sed 's/^[^ "]*\\msiexec\.exe /msiexec.exe /I' | paste -sd'|')"

# The filter lists exactly the entries whose uninstaller is gone.
out=$(e2e_driver attach wait-status-not 1 "Loading data" command BrokenOnlyMenu \
  wait-status 0 "Items: 3" 30000 rows command BrokenOnlyMenu wait-status 0 "Items: 10" 30000 \
  close wait-exit 30000)
e2e_check "entries without an uninstaller" "Broken Path|Broken Rundll|Eta Missing" \
  "$(grep '^row' <<<"$out" | cut -f2 | paste -sd'|')"

e2e_finish
