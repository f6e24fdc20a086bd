#!/usr/bin/env bash
# Languages: the shipped files cover every text of every window and survive the start-up
# pruning; English chosen from the menu turns every window English and is kept across starts;
# Russian brings the texts back; stale entries are pruned from writable files only; the log
# of missing texts. Screenshots of the English windows are kept as artifacts.
source "$(dirname "$0")/lib.sh"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
shots=$E2E_WORK/screenshots
mkdir -p "$shots"
shipped=$(dirname "$CORVANDEL_EXE")/Language
VK_RETURN=13 VK_ESCAPE=27 VK_RIGHT=39 VK_DOWN=40

e2e_prefix
e2e_seed "$E2E_DIR/seed/window.reg"
: >"$APP_DIR/portable.ini"
mkdir -p "$APP_DIR/Config" "$APP_DIR/Language"
cp "$shipped"/*.ini "$APP_DIR/Language/"
LOG=$WINEPREFIX/drive_c/Corvandel.log
options() { tr -d '\r' <"$APP_DIR/Config/Option.ini"; }
choose() { printf '[Language]\r\nLanguage=%s\r\n' "$1" >"$APP_DIR/Config/Option.ini"; }
field() { grep "^$1" | cut -f"$2" | paste -sd'|'; }

# 1. With the log present and a language file holding one text, every other text the windows
#    look up lands in the log with its built-in Russian default: the whole component model.
printf '\xef\xbb\xbf[Corvandel]\r\nForm1.ButtonUninstall.Caption=Проба\r\n' >"$APP_DIR/Language/Probe.ini"
choose Probe
: >"$LOG"
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" text ButtonUninstall \
  close wait-exit)
e2e_check "a probe text applies" "text${T}Проба" "$(grep '^text' <<<"$out")"
e2e_check "the log is UTF-16 LE with a mark" "fffe" "$(head -c 2 "$LOG" | xxd -p)"
iconv -f UTF-16 -t UTF-8 "$LOG" | tr -d '\r' >"$E2E_WORK/log.txt"
grep -qxF "Form8.Caption=О программе" "$E2E_WORK/log.txt" && echo "ok: the missing About caption is logged" ||
  { echo "FAILED: no Form8.Caption line in the log"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
for file in English Russian; do
  if cmp -s "$shipped/$file.ini" "$APP_DIR/Language/$file.ini"; then
    echo "ok: $file.ini is left as shipped by the start-up pruning"
  else
    echo "FAILED: the start-up pruning changed $file.ini"
    E2E_FAILURES=$((E2E_FAILURES + 1))
  fi
done
problems=$(python3 - "$E2E_WORK/log.txt" "$shipped/English.ini" "$shipped/Russian.ini" <<'PY'
import sys
looked_up = {"Form1.ButtonUninstall.Caption": "Деинсталляция"}
for line in open(sys.argv[1], encoding="utf-8").read().splitlines():
    key, _, text = line.partition("=")
    looked_up.setdefault(key, text)
def section(path):
    entries, inside = {}, False
    for line in open(path, encoding="utf-8-sig").read().splitlines():
        line = line.strip()
        if line.startswith("["):
            inside = line.lower() == "[corvandel]"
        elif inside and "=" in line:
            key, _, text = line.partition("=")
            entries[key.strip()] = text.strip()
    return entries
english, russian = section(sys.argv[2]), section(sys.argv[3])
for key in looked_up:
    for name, entries in (("English", english), ("Russian", russian)):
        if key not in entries:
            print(f"{name}.ini lacks {key}")
    if key in russian and russian[key] != looked_up[key].strip():
        print(f"Russian.ini: {key}={russian[key]}, the window's own text is {looked_up[key]}")
for name, entries in (("English", english), ("Russian", russian)):
    for key in entries.keys() - looked_up.keys():
        print(f"{name}.ini holds {key}, which no window looks up")
PY
)
e2e_check "the shipped files hold every text of every window" "" "$problems"
rm -f "$LOG" "$APP_DIR/Language/Probe.ini" "$APP_DIR/Config/Option.ini"

# 2. English from the menu: the general menu, its third item "Язык", then the first
#    language, which sorts first.
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" click SpeedButton_GeneralMenu \
  wait-popup menu-key $VK_DOWN menu-key $VK_DOWN menu-key $VK_RIGHT >/dev/null
import -window root "$shots/language-menu.png"
out=$(e2e_driver attach menu-key $VK_RETURN wait-status 0 "Items:" text ButtonUninstall \
  text ButtonBackupsUninstall column-captions ListViewUninstall 5 \
  column-captions ListViewBackupsUninstall 3 cue EditSearchUninstall status)
e2e_check "the choice is stored at once" "[Language]
Language=English" "$(options | grep -A1 '^\[Language\]')"
e2e_check "English buttons" "Uninstall|Backups" "$(field text 2 <<<"$out")"
e2e_check "English columns" \
  "Installed programs|Publisher|Version|Install date|Install location|File|Size|Date" \
  "$(field column-caption 3 <<<"$out")"
e2e_check "English cue text" "Search" "$(field cue 2 <<<"$out")"
e2e_check "the list is counted in English" "status${T}Items: 6" "$(grep '^status' <<<"$out" | cut -f1,2)"
import -window root "$shots/main-window-english.png"
e2e_driver attach click SpeedButton_GeneralMenu wait-popup >/dev/null
import -window root "$shots/general-menu-english.png"
out=$(e2e_driver attach escape command AboutMenu about-texts sleep 500)
import -window root "$shots/about-english.png"
e2e_check "the About window in English" "About|Telegram|mail@corvandel.example|support@corvandel.example|Main website|OK" \
  "$(grep '^about-texts' <<<"$out" | cut -f2,5- | tr '\t' '\n' | grep -v '^$' | paste -sd'|')"
out=$(e2e_driver attach about-close sleep 300 command CheckUpdateMenu \
  wait-update-label "Could not check" update)
import -window root "$shots/update-window-english.png"
e2e_check "the update window in English, its caption ending in the program's name" \
  "Update Corvandel${T}Could not check for updates${T}Connection error${T}Download" \
  "$(grep '^update' <<<"$out" | cut -f2,3,5,6)"
e2e_driver attach update-close sleep 300 close wait-exit >/dev/null
[ ! -e "$LOG" ] && echo "ok: no log is written without one" ||
  { echo "FAILED: a log appeared"; E2E_FAILURES=$((E2E_FAILURES + 1)); }

# 3. The next start is English; Russian, the item after English, brings every text back.
# (The program outlives this step: its output goes to a file, which no one waits to close.)
e2e_driver launch "$EXE" wait-window wait-status 0 "Items:" text ButtonUninstall \
  click SpeedButton_GeneralMenu wait-popup menu-key $VK_DOWN menu-key $VK_DOWN \
  menu-key $VK_RIGHT >"$E2E_WORK/restart.txt"
import -window root "$shots/language-menu-english.png"
out=$(e2e_driver attach menu-key $VK_DOWN menu-key $VK_RETURN wait-status 0 "Элементов:" \
  text ButtonUninstall text ButtonBackupsUninstall column-captions ListViewUninstall 5 \
  cue EditSearchUninstall command AboutMenu about-texts about-close sleep 300 \
  close wait-exit)
e2e_check "English after a restart" "text${T}Uninstall" "$(grep '^text' "$E2E_WORK/restart.txt")"
e2e_check "Russian again" "Деинсталляция|Резерв" "$(field text 2 <<<"$out")"
e2e_check "Russian columns" "Установленные программы|Издатель|Версия|Дата установки|Путь установки" \
  "$(field column-caption 3 <<<"$out")"
e2e_check "Russian cue text" "Поиск" "$(field cue 2 <<<"$out")"
e2e_check "the About window in Russian" "О программе" "$(field about-texts 2 <<<"$out")"
e2e_check "Russian is stored" "Language=Russian" "$(options | grep '^Language=')"

# 4. Pruning at start: a writable file loses keys without ".", keys of no window or no
#    component, earlier entries of a repeated key, comments and emptied sections; the two
#    kept sections stay whole. A read-only file is left as it is and still translates.
stale='; written by hand
[Language information]
LANGNAME=Test
Junk=1
[Corvandel]
Form1.ButtonUninstall.Caption=First
NoDot=1
Form1.NoSuchComponent.Caption=x
Form9.Caption=x
Form1.ButtonUninstall.Caption=Second
form1.buttonuninstall.hint=kept
[Other]
Bogus=1
[DestDir]
Anything=1'
write_stale() {
  rm -f "$APP_DIR/Language/Test.ini"
  { printf '\xff\xfe'; printf '%s\n' "$stale" | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16LE; } \
    >"$APP_DIR/Language/Test.ini"
}
read_test() { iconv -f UTF-16 -t UTF-8 "$APP_DIR/Language/Test.ini" | tr -d '\r'; }
write_stale
choose Test
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" text ButtonUninstall \
  close wait-exit)
e2e_check "a writable file is pruned" "[Language information]
LANGNAME=Test
Junk=1

[Corvandel]
Form1.ButtonUninstall.Caption=Second
form1.buttonuninstall.hint=kept

[DestDir]
Anything=1" "$(read_test)"
e2e_check "the last of a repeated key serves" "text${T}Second" "$(grep '^text' <<<"$out")"
write_stale
chmod a-w "$APP_DIR/Language/Test.ini"
before=$(md5sum <"$APP_DIR/Language/Test.ini")
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" text ButtonUninstall \
  close wait-exit)
e2e_check "a read-only file is left alone" "$before" "$(md5sum <"$APP_DIR/Language/Test.ini")"
e2e_check "and translates from its first entry" "text${T}First" "$(grep '^text' <<<"$out")"
chmod u+w "$APP_DIR/Language/Test.ini"

# 5. Stored names: the base name in another letter case translates; a name with ".ini"
#    matches no file, and nothing is translated.
for stored in english English.ini ENGLISH.INI; do
  choose "$stored"
  count=$([ "$stored" = english ] && echo Items: || echo Элементов:)
  expected=$([ "$stored" = english ] && echo Uninstall || echo Деинсталляция)
  out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "$count" text ButtonUninstall close wait-exit)
  e2e_check "stored \"$stored\"" "text${T}$expected" "$(grep '^text' <<<"$out")"
done
e2e_finish
