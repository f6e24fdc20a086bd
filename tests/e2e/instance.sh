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
e2e_finish
