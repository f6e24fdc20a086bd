#!/usr/bin/env bash
# The main window at work: one row per registry entry, sorting, the search box, the console
# and folder size of the selected entry, recent entries in green, the general-menu button,
# the About window and the settings kept across starts. Screenshots are kept as artifacts.
source "$(dirname "$0")/lib.sh"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
shots=$E2E_WORK/screenshots
mkdir -p "$shots"

e2e_prefix
e2e_seed "$E2E_DIR/seed/window.reg"
mkdir -p "$WINEPREFIX/drive_c/SizeDemo/sub"
head -c 3000 /dev/zero >"$WINEPREFIX/drive_c/SizeDemo/a.bin"
head -c 2048 /dev/zero >"$WINEPREFIX/drive_c/SizeDemo/sub/b.bin"

start() { e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" "$@"; }
names() { grep '^row' | cut -f2 | paste -sd'|'; }
column() { grep '^row' | cut -f"$1" | paste -sd'|'; }

# One row per registry entry: the 32-bit program once with its WOW6432Node path, the
# program registered for the machine and for the user twice.
out=$(start rows status close wait-exit)
e2e_check "rows once per entry, by name" \
  "Ledger Pro|Retro Player 2.5|Tiny Notes|Tiny Notes|Альфа Консоль|Ясень Бухгалтерия" \
  "$(names <<<"$out")"
e2e_check "32-bit entry keeps its WOW6432Node path" \
  '\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Retro Player_is1' \
  "$(grep $'^row\tRetro' <<<"$out" | cut -f9)"
e2e_check "count" "status${T}Элементов: 6" "$(grep '^status' <<<"$out" | cut -f1,2)"

# Headers: each click flips the one direction, whichever column.
out=$(start column-click 1 rows column-click 2 rows close wait-exit)
rows1=$(awk '/^row/{n++} n<=6' <<<"$out" | grep '^row' | head -6)
rows2=$(grep '^row' <<<"$out" | tail -6)
e2e_check "publisher descending" "Ясень|Альфа Софт|Zeta Corp|Zeta Corp|Northwind Traders|Beta Inc" \
  "$(column 3 <<<"$rows1")"
e2e_check "version ascending next" "1.10|10.0|10.0|2.5.0|3.1|9.9.9" "$(column 4 <<<"$rows2")"

# Search by name or publisher, any letter case; never by version; empty brings all back.
out=$(start set-text EditSearchUninstall "NORTHWIND" rows status set-text EditSearchUninstall "9.9.9" status \
  set-text EditSearchUninstall "" rows status close wait-exit)
e2e_check "search finds by publisher" "Ledger Pro" "$(grep '^row' <<<"$out" | head -1 | cut -f2)"
e2e_check "search counts" "status${T}Элементов: 1
status${T}Элементов: 0
status${T}Элементов: 6" "$(grep '^status' <<<"$out" | cut -f1,2)"
e2e_check "cleared search lists everything by name" \
  "Ledger Pro|Retro Player 2.5|Tiny Notes|Tiny Notes|Альфа Консоль|Ясень Бухгалтерия" \
  "$(grep '^row' <<<"$out" | tail -6 | cut -f2 | paste -sd'|')"

# The console shows the selected entry's key as registry-editor text; the status bar the
# size of its folder.
out=$(start select 4 text MemoLogUninstall select 5 wait-status 1 "Размер:" 20000 status \
  close wait-exit)
console=$(grep -A20 '^text' <<<"$out" | sed -n '1,/^status/p' | grep -v '^status' | tr -d '\r')
expected_console='text	Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ConsoleDemo]
@="default"
"Blob"=hex:01,AB,00
"DisplayName"="Альфа Консоль"
"DisplayVersion"="1.10"
"EstimatedSize"=dword:00000010
"Publisher"="Альфа Софт"
"UninstallString"="\"C:\\Program Files\\Alpha\\un.exe\" /S"'
e2e_check "console text" "$expected_console" "$console"
e2e_check "folder size" "status${T}Элементов: 6${T}Размер:  5 kb" "$(grep '^status' <<<"$out")"

# Entries written today are drawn in bold green; the screenshot shows green text.
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" sleep 500 >/dev/null
import -window root "$shots/main-window.png"
green=$(convert "$shots/main-window.png" -fuzz 12% -fill black +opaque "rgb(0,128,0)" \
  -fill white -opaque "rgb(0,128,0)" -format '%[fx:round(mean*w*h)]' info:)
if [ "${green:-0}" -gt 200 ]; then echo "ok: recent entries drawn green ($green pixels)"; else
  echo "FAILED: no green text (${green:-none})"; E2E_FAILURES=$((E2E_FAILURES + 1)); fi

# The general-menu button: Escape, then a click opens nothing; the next click opens it.
out=$(e2e_driver attach click SpeedButton_GeneralMenu wait-popup)
import -window root "$shots/general-menu.png"
out+=$'\n'$(e2e_driver attach escape sleep 500 popup click SpeedButton_GeneralMenu sleep 1500 popup click SpeedButton_GeneralMenu wait-popup)
e2e_check "menu button flag" "popup${T}open
popup${T}closed
popup${T}closed
popup${T}open" "$out"
out=$(e2e_driver attach escape sleep 300 click ButtonBackupsUninstall sleep 500 \
  columns ListViewBackupsUninstall 3 columns ListViewUninstall 5)
import -window root "$shots/backups-page.png"
e2e_check "backup columns: Размер right-aligned, widths within their limits" "ok" \
  "$(grep '^column' <<<"$out" | head -3 | awk -F'\t' '($2==0&&$3<250)||($2==1&&($3>70||$4!="right"))||($2==2&&$3<120){bad=1} END{print bad?"bad: "$0:"ok"}')"
e2e_check "program columns: fixed Версия and Дата установки, at least 200 for the first two" "ok" \
  "$(grep '^column' <<<"$out" | tail -5 | awk -F'\t' '($2<2&&$3<200)||($2==2&&$3!=120)||($2==3&&$3!=130)||($2==4&&$3<100){bad=1} END{print bad?"bad":"ok"}')"
e2e_driver attach click ButtonUninstall command AboutMenu sleep 1000 >/dev/null
import -window root "$shots/about-window.png"
out=$(e2e_driver attach about)
e2e_check "about window" "about${T}Corvandel 1.0.0.1 $(bitness_tag)${T}Copyright (C) 2026 Corvandel" "$out"
e2e_driver attach about-close sleep 300 close wait-exit >/dev/null

# Settings: kept in the profile, restored at the next start.
start command ViewLogMenu command IconBigMenu close wait-exit >/dev/null
ini=$(ls "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Corvandel/Corvandel/Config/Option.ini 2>/dev/null | head -1)
e2e_check "settings written in the profile" "[Option]
ThemeAuto=0
ThemeLight=0
ThemeDark=0
ViewLogMenu=1
IconSmallMenu=0
IconBigMenu=1
Window=wsNormal
Height=$(grep -a '^Height=' "$ini" | tr -d '\r' | cut -d= -f2)
Width=$(grep -a '^Width=' "$ini" | tr -d '\r' | cut -d= -f2)" "$(tr -d '\r' <"${ini:-/dev/null}")"
out=$(start height MemoLogUninstall close wait-exit)
e2e_check "console restored" "height${T}100" "$(grep '^height' <<<"$out")"

# Portable: the settings live beside the program; a maximized window comes back maximized.
: >"$APP_DIR/portable.ini"
start maximize close wait-exit >/dev/null
e2e_check "portable settings file" "Window=wsMaximized" \
  "$(tr -d '\r' <"$APP_DIR/Config/Option.ini" 2>/dev/null | grep '^Window=')"
out=$(start window close wait-exit)
e2e_check "maximized again" "maximized" "$(grep '^window' <<<"$out" | cut -f2)"

# A settings file that cannot be written: the user is told why, and the window still closes.
"$WINE" cmd.exe /c attrib +r 'C:\Corvandel\Config\Option.ini' >/dev/null 2>&1
before=$(cat "$APP_DIR/Config/Option.ini")
out=$(start close message-box 20000 wait-exit)
echo "$out" | grep -v '^row'
e2e_check "write failure reported" "message-box${T}Corvandel" "$(grep '^message-box' <<<"$out" | cut -f1,2)"
[ -n "$(grep '^message-box' <<<"$out" | cut -f3)" ] && echo "ok: with the system's error text" ||
  { echo "FAILED: no error text"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_check "window closed after the report" "exit${T}0" "$(grep '^exit' <<<"$out")"
e2e_check "file unchanged" "$before" "$(cat "$APP_DIR/Config/Option.ini")"
e2e_finish
