#!/usr/bin/env bash
# The administrators' command line: /list as JSON, CSV and text with the window's rows (read
# while the window is open, which stays open), hostile names intact, /uninstall of fake
# uninstallers with its exit codes, /report, and bad command lines; from Wine's command
# processor (Corvandel.com) and from the driver, which reads the full exit code.
source "$(dirname "$0")/lib.sh"
: "${QUEUE_FAKE:?}"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"

e2e_prefix
cp "$(dirname "$CORVANDEL_EXE")/Corvandel.com" "$APP_DIR/Corvandel.com"
fakes=$WINEPREFIX/drive_c/Fakes
mkdir -p "$fakes"
for name in one two keep boot; do cp "$QUEUE_FAKE" "$fakes/$name.exe"; done
LOG="$WINEPREFIX/drive_c/queue-log.txt"

python3 - "$E2E_WORK/cmdline.reg" <<'PY'
import sys
machine = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
wow = r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
user = r"HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
short = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
def text(value):
    # Any UTF-16 text, lone surrogates and control characters included, as REG_SZ bytes.
    data = value.encode("utf-16-le", "surrogatepass") + b"\0\0"
    return "hex(1):" + ",".join("%02x" % b for b in data)
def quiet(name, extra=""):
    program = name[4:].lower()  # FakeOne runs one.exe
    return r'"C:\Fakes\%s.exe" /quiet %s/delete=%s\%s' % (program, extra, short, name)
entries = [
    (machine, "Plain", {"DisplayName": "Plain Program", "DisplayVersion": "1.0",
                        "UninstallString": r"C:\Fakes\one.exe", "EstimatedSize": 2048}),
    (machine, "Cyr", {"DisplayName": "Программа «Ромашка»", "Publisher": "ООО Ромашка",
                      "DisplayVersion": "2.5", "UninstallString": r"C:\Fakes\one.exe"}),
    (wow, "Quotes", {"DisplayName": 'Say "Hi" \\ C:\\Tools, Inc', "DisplayVersion": "3",
                     "UninstallString": r"C:\Fakes\one.exe"}),
    (machine, "Controls", {"DisplayName": "Tab\there\r\nline\x01bell", "Publisher": "a,b",
                           "UninstallString": r"C:\Fakes\one.exe"}),
    (user, "Broken", {"DisplayName": "Broken \ud800 name", "UninstallString": r"C:\Fakes\one.exe"}),
    (machine, "Twin", {"DisplayName": "Twin", "DisplayVersion": "64",
                       "UninstallString": r"C:\Fakes\one.exe"}),
    (wow, "Twin", {"DisplayName": "Twin", "DisplayVersion": "64",
                   "UninstallString": r"C:\Fakes\one.exe"}),
    (machine, "Hidden", {"DisplayName": "Hidden Component", "SystemComponent": 1,
                         "UninstallString": r"C:\Fakes\one.exe"}),
    (machine, "FakeOne", {"DisplayName": "Fake One", "UninstallString": r"C:\Fakes\one.exe",
                          "QuietUninstallString": quiet("FakeOne")}),
    (machine, "FakeTwo", {"DisplayName": "Fake Two", "UninstallString": r"C:\Fakes\two.exe",
                          "QuietUninstallString": quiet("FakeTwo")}),
    (machine, "FakeKeep", {"DisplayName": "Fake Keep", "UninstallString": r"C:\Fakes\keep.exe",
                           "QuietUninstallString": r'"C:\Fakes\keep.exe" /quiet'}),
    (machine, "FakeBoot", {"DisplayName": "Fake Boot", "UninstallString": r"C:\Fakes\boot.exe",
                           "QuietUninstallString": quiet("FakeBoot", "/exit=3010 ")}),
    (machine, "Corvandel", {"DisplayName": "Corvandel", "UninstallString": r"C:\Fakes\one.exe"}),
]
out = ["Windows Registry Editor Version 5.00", ""]
for root, key, values in entries:
    out.append("[%s\\%s]" % (root, key))
    for name, value in values.items():
        out.append('"%s"=%s' % (name, "dword:%08x" % value if isinstance(value, int) else text(value)))
    out.append("")
open(sys.argv[1], "w", encoding="utf-8").write("\r\n".join(out))
PY
e2e_seed "$E2E_WORK/cmdline.reg"

# run NAME COMMAND-LINE: runs it through the driver; NAME.out and NAME.err hold its output, and
# the exit code is printed.
run() {
  local out err
  out=$("$WINE" winepath -w "$E2E_WORK/$1.out" 2>/dev/null)
  err=$("$WINE" winepath -w "$E2E_WORK/$1.err" 2>/dev/null)
  "$WINE" "$CORVANDEL_DRIVER" run "$out" "$err" "$2" | tr -d '\r' | sed -n 's/^exit\t//p'
}

# The window's rows and the list, taken while the window is open.
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов: 11" rows >"$E2E_WORK/window" &
driver=$!
wait "$driver" || true
e2e_check "/list /format=json while the window is open: exit code" 0 \
  "$(run json "\"$EXE\" /list /format=json")"
e2e_check "the window is still open" "windows${T}1" \
  "$(e2e_driver attach windows close wait-exit | tr -d '\r' | grep '^windows')"

check_rows() {  # check_rows LABEL FILE FORMAT
  python3 - "$E2E_WORK/window" "$2" "$3" <<'PY'
import csv, io, json, re, sys
window, path, form = sys.argv[1:]
raw = open(path, "rb").read()
if form == "json":
    assert not raw.startswith(b"\xef\xbb\xbf"), "JSON starts with a byte-order mark"
    rows = json.loads(raw.decode("utf-8"))
else:
    assert raw.startswith(b"\xef\xbb\xbf"), "CSV lacks its byte-order mark"
    rows = list(csv.DictReader(io.StringIO(raw.decode("utf-8-sig"), newline="")))
    for row in rows:
        row["uninstallerMissing"] = row["uninstallerMissing"] == "true"
        row["estimatedSizeBytes"] = int(row["estimatedSizeBytes"]) if row["estimatedSizeBytes"] else None
# The window's rows: caption, publisher, version, date, folder, command, root, key path. The
# driver passes a lone surrogate on as it is (the list shows it replaced) and a tab or line
# break too, which splits that row: the keys are found in order, the other columns where the
# row is whole.
text = re.sub("[\ud800-\udfff]", "\ufffd", open(window, "rb").read().decode("utf-8", "surrogatepass"))
shown_keys = ["".join(k) for k in re.findall(r"\t(HKEY_LOCAL_MACHINE|HKEY_CURRENT_USER)\t(\\[^\t\r\n]*)", text)]
shown = {}
for line in text.replace("\r", "").split("\n"):
    f = line.split("\t")
    if f[0] == "row" and len(f) >= 9:
        shown[f[7] + f[8]] = (f[1], f[3])
def view(key):
    return "user" if key.startswith("HKEY_CURRENT_USER") else "32" if "\\WOW6432Node\\" in key else "64"
problems = []
if [r["key"] for r in rows] != shown_keys or any(r["view"] != view(r["key"]) for r in rows):
    problems.append("keys or views differ from the window's:\n%s\n%s" % (shown_keys, rows))
compared = [r for r in rows if r["key"] in shown]
if len(compared) < len(rows) - 1 or any((r["name"], r["version"]) != shown[r["key"]] for r in compared):
    problems.append("names or versions differ from the window's:\n%s\n%s" % (shown, rows))
by_key = {r["key"].rsplit("\\", 1)[1]: r for r in rows}
expect = {"Cyr": ("Программа «Ромашка»", "ООО Ромашка"), "Quotes": ('Say "Hi" \\ C:\\Tools, Inc', ""),
          "Controls": ("Tab\there\r\nline\x01bell", "a,b"), "Broken": ("Broken \ufffd name", "")}
for key, (name, publisher) in expect.items():
    got = by_key.get(key, {})
    if (got.get("name"), got.get("publisher")) != (name, publisher):
        problems.append("%s: %r" % (key, got))
if "Hidden" in by_key:
    problems.append("a hidden entry is listed")
if sum(1 for r in rows if r["name"] == "Twin") != 1:
    problems.append("the program in both views is not listed once")
plain = by_key.get("Plain", {})
if plain.get("estimatedSizeBytes") != 2048 * 1024 or plain.get("view") != "64":
    problems.append("Plain: %r" % plain)
if not by_key.get("FakeOne", {}).get("quietUninstallCommand", "").endswith(r"\FakeOne"):
    problems.append("FakeOne's quiet command: %r" % by_key.get("FakeOne"))
print("\n".join(problems) or "ok")
PY
}
e2e_check "the JSON list is the window's list, every name intact" ok "$(check_rows json "$E2E_WORK/json.out" json)"

# From Wine's command processor, which picks Corvandel.com for "Corvandel".
"$WINE" cmd /c "cd /d $APP_DIR_WIN && Corvandel /list /format=csv" >"$E2E_WORK/cmd.csv" 2>/dev/null
e2e_check "the CSV list from a command prompt reads back as the same rows" ok \
  "$(check_rows csv "$E2E_WORK/cmd.csv" csv)"
e2e_check "/list /out= writes the file" "0" "$(run out "\"$EXE\" /list /format=json /out=C:\\list.json")"
e2e_check "the /out file is the list" ok "$(check_rows json "$WINEPREFIX/drive_c/list.json" json)"
e2e_check "the text list names each key" 11 "$(run text "\"$EXE\" /list" >/dev/null;
  grep -c 'HKEY_' "$E2E_WORK/text.out")"

# Bad command lines: the code, a line on standard error, nothing else.
e2e_check "/bogus: exit code" 87 "$(run bogus "\"$EXE\" /bogus")"
e2e_check "/bogus: the error and usage on standard error, nothing on standard output" \
  "Corvandel: unknown switch /bogus|yes|0" \
  "$(head -1 "$E2E_WORK/bogus.err" | tr -d '\r')|$(grep -q '/uninstall KEY' "$E2E_WORK/bogus.err" && echo yes)|$(wc -c <"$E2E_WORK/bogus.out")"
e2e_check "an unwritable /out path: exit code" 87 \
  "$(run noout "\"$EXE\" /list /out=C:\\no\\such\\folder\\list.json")"
e2e_check "/? prints the usage" "0 yes" \
  "$(run usage "\"$EXE\" /?") $(grep -q '/report FILE.html' "$E2E_WORK/usage.out" && echo yes)"

# The report, without a window.
e2e_check "/report: exit code" 0 "$(run report "\"$EXE\" /report C:\\Reports\\list.html")"
e2e_check "/report writes the window's report" "yes" \
  "$(grep -q 'Программа «Ромашка»' "$WINEPREFIX/drive_c/Reports/list.html" && grep -q '<td><b><center>Издатель' "$WINEPREFIX/drive_c/Reports/list.html" && echo yes)"
# In the language the window speaks: a portable copy whose settings chose English.
mkdir -p "$APP_DIR/Config" "$APP_DIR/Language"
cp "$(dirname "$CORVANDEL_EXE")"/Language/*.ini "$APP_DIR/Language/"
: >"$APP_DIR/portable.ini"
printf '[Language]\r\nLanguage=English\r\n' >"$APP_DIR/Config/Option.ini"
run report-en "\"$EXE\" /report C:\\Reports\\english.html" >/dev/null
e2e_check "/report in the chosen language, settings untouched" "yes|[Language]" \
  "$(grep -q '<td><b><center>Publisher' "$WINEPREFIX/drive_c/Reports/english.html" && echo yes)|$(head -1 "$APP_DIR/Config/Option.ini" | tr -d '\r')"
rm -rf "$APP_DIR/portable.ini" "$APP_DIR/Config" "$APP_DIR/Language"

# Uninstalls.
KEY="HKLM\\$UNINSTALL_KEY"
FULL="HKEY_LOCAL_MACHINE\\$UNINSTALL_KEY"
rm -f "$LOG"
e2e_check "an unknown key: exit code" 2 "$(run unknown "\"$EXE\" /uninstall FakeKeep NoSuchKey /quiet")"
e2e_check "an unknown key: its line, and nothing ran" "not found${T}NoSuchKey|no log" \
  "$(tr -d '\r' <"$E2E_WORK/unknown.out")|$([ -e "$LOG" ] && echo log || echo no log)"
e2e_check "this program's own entry is refused" 2 "$(run own "\"$EXE\" /uninstall Corvandel")"

e2e_check "two quiet uninstalls: exit code" 0 \
  "$(run two "\"$EXE\" /uninstall $FULL\\FakeOne fakeTWO /quiet")"
e2e_check "two quiet uninstalls: one line each, in order" \
  "removed${T}$FULL\\FakeOne${T}Fake One
removed${T}$FULL\\FakeTwo${T}Fake Two" "$(tr -d '\r' <"$E2E_WORK/two.out")"
e2e_check "both entries are gone" "gone gone" \
  "$(key_exists "$KEY\\FakeOne" 64 || echo gone) $(key_exists "$KEY\\FakeTwo" 64 || echo gone)"
e2e_check "the record of each entry was kept before its run" 2 \
  "$(ls "$DATA_DIR/records" 2>/dev/null | grep -c '^Fake ')"

e2e_check "an entry that stays: exit code" 1 "$(run keep "\"$EXE\" /uninstall FakeKeep /quiet")"
e2e_check "an entry that stays: its line" "still listed${T}$FULL\\FakeKeep${T}Fake Keep" \
  "$(tr -d '\r' <"$E2E_WORK/keep.out")"
e2e_check "a removal that asks for a restart: the full code" 3010 \
  "$(run boot "\"$EXE\" /uninstall FakeBoot /timeout=2")"

# set_value KEY NAME DATA: a text value, in the 64-bit view whichever loader runs reg.
set_value() { "$WINE" reg add "$1" /v "$2" /d "$3" /f /reg:64 >/dev/null 2>&1; }

# What a removed program leaves: found from its record, moved into a clean-up, listed and put
# back, all from the command line.
app=$WINEPREFIX/drive_c/Apps/Fake\ App
mkdir -p "$app/data"
printf 'config' >"$app/data/app.ini"
cp "$QUEUE_FAKE" "$app/app.exe"
cp "$QUEUE_FAKE" "$fakes/app.exe"
APP_KEY="$KEY\\FakeApp"
set_value "$APP_KEY" DisplayName "Fake App"
set_value "$APP_KEY" InstallLocation 'C:\Apps\Fake App'
set_value "$APP_KEY" UninstallString 'C:\Fakes\app.exe'
set_value "$APP_KEY" QuietUninstallString "\"C:\\Fakes\\app.exe\" /quiet /delete=HKLM\\$UNINSTALL_KEY\\FakeApp"
e2e_check "/leftovers of a key with no record: exit code and why" "2|no record kept${T}FakeApp" \
  "$(run norecord "\"$EXE\" /leftovers FakeApp")|$(tr -d '\r' <"$E2E_WORK/norecord.err")"
e2e_check "/uninstall /cleanup: exit code" 0 "$(run cleanup "\"$EXE\" /uninstall FakeApp /quiet /cleanup")"
cleanup_id=$(tr -d '\r' <"$E2E_WORK/cleanup.out" | sed -n 's/^removed, clean-up \([^:]*\): .*/\1/p')
e2e_check "its line names the clean-up, and the folder is gone" \
  "removed, clean-up $cleanup_id: 1 removed${T}$FULL\\FakeApp${T}Fake App|gone" \
  "$(tr -d '\r' <"$E2E_WORK/cleanup.out")|$([ -e "$app" ] && echo there || echo gone)"
run cleanups "\"$EXE\" /cleanups /format=json" >/dev/null
e2e_check "/cleanups lists it with what it holds" "$cleanup_id|Fake App|2|True" \
  "$(python3 -c 'import json,sys; c=json.load(open(sys.argv[1], encoding="utf-8"))[-1]; print(c["id"], c["programs"], c["items"], c["bytes"] > 0, sep="|")' "$E2E_WORK/cleanups.out")"
e2e_check "/restore of no such clean-up: exit code" 2 "$(run norestore "\"$EXE\" /restore nosuch")"
e2e_check "/restore puts it back: exit code and the files" "0|config" \
  "$(run restore "\"$EXE\" /restore \"$cleanup_id\"")|$(cat "$app/data/app.ini" 2>/dev/null)"
run leftovers "\"$EXE\" /leftovers FakeApp /format=json" >/dev/null
e2e_check "/leftovers after the restore: the folder, ticked, for the program and its key" \
  "Fake App|$FULL\\FakeApp|C:\\Apps\\Fake App|folder|insideInstallFolder|high|True" \
  "$(python3 -c 'import json,sys; r=[x for x in json.load(open(sys.argv[1], encoding="utf-8")) if x["kind"] == "folder"][0]; print(r["program"], r["key"], r["item"], r["kind"], r["evidence"], r["confidence"], r["selected"], sep="|")' "$E2E_WORK/leftovers.out")"


# An unquoted path with blanks runs the program file it names, never "C:\Program.exe"; an
# (x86) path written out in full is never taken for the 64-bit edition's.
tools=$WINEPREFIX/drive_c/Program\ Files/Fake\ Tools
both=$WINEPREFIX/drive_c/Program\ Files/Fake\ Both
mkdir -p "$tools" "$both"
cp "$QUEUE_FAKE" "$tools/tool.exe"
cp "$QUEUE_FAKE" "$both/tool.exe"
cp "$FAKE_UNINSTALLER" "$WINEPREFIX/drive_c/Program.exe"
set_value "$KEY\\FakeUnquoted" DisplayName "Fake Unquoted"
set_value "$KEY\\FakeUnquoted" UninstallString 'C:\Program Files\Fake Tools\tool.exe'
set_value "$KEY\\FakeUnquoted" QuietUninstallString "C:\\Program Files\\Fake Tools\\tool.exe /quiet /delete=HKLM\\$UNINSTALL_KEY\\FakeUnquoted"
set_value "HKLM\\$WOW_UNINSTALL_KEY\\FakeOrphan" DisplayName "Fake Orphan"
set_value "HKLM\\$WOW_UNINSTALL_KEY\\FakeOrphan" UninstallString '"C:\Program Files (x86)\Fake Both\tool.exe"'
set_value "HKLM\\$WOW_UNINSTALL_KEY\\FakeOrphan" QuietUninstallString "\"C:\\Program Files (x86)\\Fake Both\\tool.exe\" /quiet /delete=HKLM\\$WOW_UNINSTALL_KEY\\FakeOrphan"
e2e_check "an unquoted path with blanks: its program runs, C:\\Program.exe never" "0|removed|no" \
  "$(run unquoted "\"$EXE\" /uninstall FakeUnquoted /quiet")|$(tr -d '\r' <"$E2E_WORK/unquoted.out" | cut -f1)|$([ -e "$WINEPREFIX/drive_c/started.txt" ] && echo yes || echo no)"
set_value "$KEY\\FakeNoExt" DisplayName "Fake No Extension"
set_value "$KEY\\FakeNoExt" UninstallString 'C:\Program Files\Fake Tools\uninstall /quiet'
e2e_check "an unquoted path to no program file: refused, C:\\Program.exe never runs" \
  "1|failed, no uninstall command|no" \
  "$(run noext "\"$EXE\" /uninstall FakeNoExt")|$(tr -d '\r' <"$E2E_WORK/noext.out" | cut -f1)|$([ -e "$WINEPREFIX/drive_c/started.txt" ] && echo yes || echo no)"
e2e_check "an orphaned 32-bit entry: its uninstaller is not found, the 64-bit one never runs" \
  "1|uninstaller not found|there" \
  "$(run orphan "\"$EXE\" /uninstall FakeOrphan /quiet")|$(tr -d '\r' <"$E2E_WORK/orphan.out" | cut -f1)|$(key_exists "HKLM\\$WOW_UNINSTALL_KEY\\FakeOrphan" 32 && echo there || echo gone)"


# An uninstaller that leaves something running once its entry is gone (a copy that lingers for
# ten minutes) is reported removed after a short grace, nothing killed, far within the limit.
cp "$QUEUE_FAKE" "$fakes/linger.exe"
set_value "$KEY\\FakeLinger" DisplayName "Fake Linger"
set_value "$KEY\\FakeLinger" UninstallString 'C:\Fakes\linger.exe'
set_value "$KEY\\FakeLinger" QuietUninstallString "\"C:\\Fakes\\linger.exe\" /quiet /copy /linger=600000 /delete=HKLM\\$UNINSTALL_KEY\\FakeLinger"
lingered=$SECONDS
e2e_check "a lingering process after the entry is gone: removed, within the grace" "0|removed|yes" \
  "$(run linger "\"$EXE\" /uninstall FakeLinger /quiet /timeout=5")|$(tr -d '\r' <"$E2E_WORK/linger.out" | cut -f1)|$([ $((SECONDS - lingered)) -lt 120 ] && echo yes || echo no)"

e2e_finish
