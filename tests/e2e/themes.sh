#!/usr/bin/env bash
# The light and dark looks: every control of the main window, its menus and the About window
# in the look's colours (sampled from screenshots), applied before the first frame; the
# system's light/dark switch followed only while "Системная" is the choice in force; and the
# plain look when no theme was ever chosen. Screenshots are kept as artifacts.
source "$(dirname "$0")/lib.sh"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
shots=$E2E_WORK/screenshots
mkdir -p "$shots"
PERSONALIZE='HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize'
VK_RIGHT=39 VK_DOWN=40

e2e_prefix
e2e_seed "$E2E_DIR/seed/window.reg"
: >"$APP_DIR/portable.ini"
mkdir -p "$APP_DIR/Config" "$APP_DIR/Language"
cp "$(dirname "$CORVANDEL_EXE")/Language/"*.ini "$APP_DIR/Language/"
store() { printf '[Option]\r\n%s=1\r\nViewLogMenu=1\r\n' "$1" >"$APP_DIR/Config/Option.ini"; }
system_light() {  # 1: light apps, 0: dark apps
  "$WINE" reg add "$PERSONALIZE" /v AppsUseLightTheme /t REG_DWORD /d "$1" /f /reg:64 >/dev/null 2>&1
}
# The share of a screenshot's area (x y w h) whose pixels are light (every channel above
# 200), dark (every channel below 64) or black (below 8).
share() {
  if [ "$2" = light ]; then  # the darkest channel above 200
    convert "$1" -crop "${5}x${6}+${3}+${4}" +repage -separate -evaluate-sequence Min \
      -threshold 78.8% -format '%[fx:mean]' info:
  elif [ "$2" = black ]; then  # nothing drawn: every channel below 8
    convert "$1" -crop "${5}x${6}+${3}+${4}" +repage -separate -evaluate-sequence Max \
      -negate -threshold 96.9% -format '%[fx:mean]' info:
  else  # the lightest channel below 64
    convert "$1" -crop "${5}x${6}+${3}+${4}" +repage -separate -evaluate-sequence Max \
      -negate -threshold 75.1% -format '%[fx:mean]' info:
  fi
}
pixel() {
  convert "$1" -format "%[fx:round(255*p{$2,$3}.r)],%[fx:round(255*p{$2,$3}.g)],%[fx:round(255*p{$2,$3}.b)]" info:
}
below() { awk -v v="$1" -v limit="$2" 'BEGIN {print (v < limit) ? "yes" : "no: " v}'; }
rect_of() { grep "^screen-rect${T}$1${T}" <<<"$2" | cut -f3-6; }
# Every control of the look, a page, the menus and the About window; the other look's colour
# covers at most a quarter of any of them (scroll bars and a selected row may).
check_look() {
  local look=$1 other shot rects popups about
  other=$([ "$look" = dark ] && echo light || echo dark)
  store "$([ "$look" = dark ] && echo ThemeDark || echo ThemeLight)"
  e2e_driver launch "$EXE" wait-window >/dev/null
  # The first frames as they reach the screen, one after another.
  for frame in 0 1 2 3 4 5; do import -window root "$E2E_WORK/frame-$frame.png"; done
  rects=$(e2e_driver attach wait-status 0 "Элементов:" select 1 sleep 500 list-colors ListViewUninstall \
    screen-rect window screen-rect ListViewUninstall screen-rect MemoLogUninstall \
    screen-rect EditSearchUninstall screen-rect StatusBarUninstall screen-rect ButtonUninstall \
    screen-rect ButtonBackupsUninstall screen-rect SpeedButton_GeneralMenu)
  shot=$shots/main-window-$look.png
  import -window root "$shot"
  read -r wx wy ww wh <<<"$(rect_of window "$rects")"
  read -r lx ly lw lh <<<"$(rect_of ListViewUninstall "$rects")"
  if [ "$look" = dark ]; then
    e2e_check "dark list colours" "list-colors${T}33,33,33${T}255,255,255" "$(grep '^list-colors' <<<"$rects")"
    e2e_check "dark list background drawn" "33,33,33" "$(pixel "$shot" $((lx + lw / 2)) $((ly + lh - 40)))"
  else
    e2e_check "light list colours" "list-colors${T}255,255,255${T}0,0,0" "$(grep '^list-colors' <<<"$rects")"
    e2e_check "light list background drawn" "255,255,255" "$(pixel "$shot" $((lx + lw / 2)) $((ly + lh - 40)))"
  fi
  e2e_check "$look window background" "yes" \
    "$(below "$(share "$shot" "$other" $((wx + 5)) $((wy + wh - 160)) 90 100)" 0.01)"
  # The first frame whose window is painted all over (what this display has not been sent
  # yet is black): in the dark look, no light may show there.
  if [ "$look" = dark ]; then
    for frame in 0 1 2 3 4 5; do
      cp "$E2E_WORK/frame-$frame.png" "$shots/first-frame-$look.png"
      [ "$(below "$(share "$E2E_WORK/frame-$frame.png" black "$wx" "$wy" "$ww" "$wh")" 0.02)" = yes ] &&
        break
    done
    e2e_check "first painted frame: no light flash" "yes" \
      "$(below "$(share "$shots/first-frame-$look.png" light "$wx" "$wy" "$ww" "$wh")" 0.25)"
  fi
  for control in ListViewUninstall MemoLogUninstall EditSearchUninstall StatusBarUninstall \
    ButtonUninstall ButtonBackupsUninstall SpeedButton_GeneralMenu; do
    read -r x y w h <<<"$(rect_of "$control" "$rects")"
    e2e_check "$look $control" "yes" "$(below "$(share "$shot" "$other" "$x" "$y" "$w" "$h")" 0.25)"
  done

  popups=$(e2e_driver attach click SpeedButton_GeneralMenu wait-popup menu-key $VK_DOWN \
    menu-key $VK_DOWN menu-key $VK_RIGHT popup-rect)
  import -window root "$shots/general-menu-$look.png"
  while read -r x y w h; do
    e2e_check "$look general menu" "yes" \
      "$(below "$(share "$shots/general-menu-$look.png" "$other" "$x" "$y" "$w" "$h")" 0.25)"
  done < <(grep '^popup-rect' <<<"$popups" | cut -f2-5 | tr '\t' ' ')
  e2e_driver attach escape escape sleep 300 >/dev/null
  popups=$(e2e_driver attach key ListViewUninstall 93 wait-popup popup-rect)
  import -window root "$shots/context-menu-$look.png"
  read -r x y w h <<<"$(grep '^popup-rect' <<<"$popups" | head -1 | cut -f2-5 | tr '\t' ' ')"
  e2e_check "$look context menu" "yes" \
    "$(below "$(share "$shots/context-menu-$look.png" "$other" "$x" "$y" "$w" "$h")" 0.25)"
  e2e_driver attach escape sleep 300 click ButtonBackupsUninstall sleep 500 >/dev/null
  import -window root "$shots/backups-page-$look.png"
  e2e_check "$look backups page" "yes" \
    "$(below "$(share "$shots/backups-page-$look.png" "$other" "$wx" "$wy" "$ww" "$wh")" 0.25)"
  about=$(e2e_driver attach click ButtonUninstall command AboutMenu about-texts sleep 500)
  import -window root "$shots/about-window-$look.png"
  e2e_check "$look About window" "yes" \
    "$(below "$(share "$shots/about-window-$look.png" "$other" $((wx + ww / 2 - 150)) \
      $((wy + wh / 2 - 60)) 300 120)" 0.25)"
  e2e_driver attach about-close sleep 300 command CheckUpdateMenu wait-update-label "Не удалось" \
    sleep 300 >/dev/null
  import -window root "$shots/update-window-$look.png"
  # The update window, centred on the screen.
  read -r sw sh <<<"$(identify -format '%w %h' "$shots/update-window-$look.png")"
  e2e_check "$look update window" "yes" \
    "$(below "$(share "$shots/update-window-$look.png" "$other" $((sw / 2 - 200)) \
      $((sh / 2 - 80)) 400 160)" 0.25)"
  e2e_driver attach update-close sleep 300 close wait-exit >/dev/null
}
system_light 1
check_look dark
check_look light

# "Системная" follows the system while it is the choice in force.
store ThemeAuto
# (A copy that outlives the step writes to a file: nobody waits for that to close.)
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" list-colors ListViewUninstall \
  >"$E2E_WORK/out"
out=$(cat "$E2E_WORK/out")
e2e_check "system light: light list" "list-colors${T}255,255,255${T}0,0,0" "$(grep '^list-colors' <<<"$out")"
system_light 0
out=$(e2e_driver attach setting-change sleep 1000 list-colors ListViewUninstall)
e2e_check "the system turns dark: so does the list, at once" "list-colors${T}33,33,33${T}255,255,255" "$out"
import -window root "$shots/followed-system-dark.png"
# "Светлая" chosen in this run: the system's switches no longer count.
system_light 1
out=$(e2e_driver attach command ThemeLight sleep 500 setting-change sleep 300 list-colors ListViewUninstall)
e2e_check "after choosing light" "list-colors${T}255,255,255${T}0,0,0" "$out"
system_light 0
out=$(e2e_driver attach setting-change sleep 1000 list-colors ListViewUninstall close wait-exit)
e2e_check "a chosen light look stays light" "list-colors${T}255,255,255${T}0,0,0" "$(grep '^list-colors' <<<"$out")"

# "Темная" stored: the system switching to light changes nothing.
store ThemeDark
system_light 0
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" list-colors ListViewUninstall \
  >"$E2E_WORK/out"
out=$(cat "$E2E_WORK/out")
system_light 1
out+=$'\n'$(e2e_driver attach setting-change sleep 1000 list-colors ListViewUninstall close wait-exit)
e2e_check "a chosen dark look stays dark" "list-colors${T}33,33,33${T}255,255,255
list-colors${T}33,33,33${T}255,255,255" "$(grep '^list-colors' <<<"$out")"

# No settings file: no theme item checked and the list in its built colours.
rm -f "$APP_DIR/Config/Option.ini"
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" list-colors ListViewUninstall \
  close wait-exit)
e2e_check "first start: the built look" "list-colors${T}255,255,255${T}0,0,0" "$(grep '^list-colors' <<<"$out")"
e2e_check "first start: no theme stored" "" "$(tr -d '\r' <"$APP_DIR/Config/Option.ini" | grep '^Theme.*=1' || true)"
e2e_finish
