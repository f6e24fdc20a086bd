#!/usr/bin/env bash
# One running copy at a time, and the caption's portable tag.
source "$(dirname "$0")/lib.sh"
T=$'\t'

e2e_prefix
out=$(e2e_driver launch "$APP_DIR_WIN\\Corvandel.exe" wait-window wait-status 0 "Элементов:" \
  launch "$APP_DIR_WIN\\Corvandel.exe" wait-exit 20000 windows \
  use 1 windows caption close wait-exit)
echo "$out"
e2e_check "second copy ends silently, first keeps running" \
  "exit${T}0
windows${T}0
windows${T}1
caption${T}Corvandel 1.0.0.1 $(bitness_tag)
exit${T}0" "$out"

# A "portable.ini" beside the executable marks a portable copy.
: >"$APP_DIR/portable.ini"
out=$(e2e_driver launch "$APP_DIR_WIN\\Corvandel.exe" wait-window caption close wait-exit)
e2e_check "portable caption" "caption${T}Corvandel 1.0.0.1 $(bitness_tag) Portable" \
  "$(grep '^caption' <<<"$out")"
test -d "$APP_DIR/backup" && echo "ok: backup folder created" ||
  { echo "FAILED: no backup folder"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
# Libraries planted beside a portable copy under the names of system libraries the program
# uses: it starts, shows its version, checks for updates and closes without loading any.
for library in winhttp bcrypt version uxtheme dwmapi; do
  cp "${PLANTED_LIBRARY:?}" "$APP_DIR/$library.dll"
done
mkdir -p "$APP_DIR/Config"
printf '[Update]\r\nPrimary=http://127.0.0.1:9/\r\nMirror=http://127.0.0.1:9/\r\n' \
  >"$APP_DIR/Config/Option.ini"
out=$(e2e_driver launch "$APP_DIR_WIN\Corvandel.exe" wait-window wait-status 0 "Элементов:" caption \
  command ThemeDark command CheckUpdateMenu wait-update-label "Не удалось" 30000 \
  update-close sleep 300 close wait-exit)
e2e_check "with planted libraries: the program runs" \
  "caption${T}Corvandel 1.0.0.1 $(bitness_tag) Portable
exit${T}0" "$(grep -E '^(caption|exit)' <<<"$out")"
e2e_check "no planted library was loaded" "" "$(cd "$APP_DIR" && ls loaded-* 2>/dev/null)"
rm -f "$APP_DIR"/*.dll
e2e_finish
