#!/usr/bin/env bash
# Installs what is missing, builds Corvandel.exe and starts it under Wine with a
# demonstration prefix seeded with uninstall entries. With a display the window opens there;
# without one the program runs on a virtual display and a screenshot of its main window is
# saved.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh
source scripts/wine-env.sh
export LANG=${CORVANDEL_LANG:-ru_RU.UTF-8}

demo=$root/build/demo
export WINEPREFIX=$demo/prefix
# Without a display, every Wine step from here on runs on one virtual display of its own.
shown=yes
if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
  shown=""
  unset DISPLAY
  own_display
  trap 'kill "$OWN_XVFB_PID" 2>/dev/null || true' EXIT
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the demonstration Wine prefix in $WINEPREFIX ..."
  bash scripts/wineprefix.sh "$WINEPREFIX" win10
  iconv -f UTF-8 -t UTF-16 demo/demo.reg >"$demo/demo-utf16.reg"
  # The file names 32-bit keys by their WOW6432Node path: it goes into the 64-bit view.
  "$WINE" reg import "$("$WINE" winepath -w "$demo/demo-utf16.reg" 2>/dev/null)" /reg:64
  # Real files for the entries whose icon or uninstaller names one, so their icons resolve.
  notepad=$WINEPREFIX/drive_c/windows/system32/notepad.exe
  grep -o '"DisplayIcon"="[^"]*"' demo/demo.reg | sed 's/^"DisplayIcon"="//; s/"$//; s/,[-0-9]*$//; s/\\\\/\\/g' |
    while read -r path; do
      unix="$WINEPREFIX/drive_c/$(echo "${path#C:\\}" | tr '\\' '/')"
      mkdir -p "$(dirname "$unix")" && cp "$notepad" "$unix"
    done
fi
app=$WINEPREFIX/drive_c/Corvandel
mkdir -p "$app"
cp "$WINE_BUILD/Corvandel.exe" "$app/Corvandel.exe"
# The shipped languages; a translator's own files in the demo copy stay.
mkdir -p "$app/Language"
cp "$WINE_BUILD/Language/"*.ini "$app/Language/"

[ -z "$shown" ] || exec "$WINE" 'C:\Corvandel\Corvandel.exe'

shot=$demo/corvandel-main-window.png
ready=$demo/list-filled
rm -f "$ready"
# The driver leaves a mark once the list is filled and keeps the program open a few seconds
# more; the screenshot is taken in that time.
"$WINE" "$WINE_BUILD/corvandel_driver.exe" launch 'C:\Corvandel\Corvandel.exe' wait-window \
  wait-status 0 "Элементов:" sleep 1000 touch "$("$WINE" winepath -w "$ready" 2>/dev/null)" \
  sleep 4000 close wait-exit >/dev/null 2>&1 &
driver=$!
for _ in $(seq 300); do [ -e "$ready" ] && break; sleep 0.2; done
import -window root "$shot"
wait "$driver" || true
"$WINESERVER" -w 2>/dev/null || true
echo "No display: the program ran on a virtual display. Screenshot of its main window: $shot"
