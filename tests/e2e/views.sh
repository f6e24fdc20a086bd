#!/usr/bin/env bash
# Deleting an entry takes exactly the keys its row stands for, and only after all of them
# are in the backup: a program of another name at the same sub-key name in the other view is
# left alone, a twin listed as the same row goes with it, and a key that cannot be read in
# full is not deleted at all.
source "$(dirname "$0")/lib.sh"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
M="HKLM\\$UNINSTALL_KEY" W="HKLM\\$WOW_UNINSTALL_KEY"

e2e_prefix
e2e_seed "$E2E_DIR/seed/views.reg"
# The fault: a sub-key nobody may read, as after a broken permission change.
e2e_driver deny-read "$M\\Locked\\Secret"

names() { grep '^row' | cut -f2 | paste -sd'|'; }
present() {  # present KEY...: "y" or "n" for each key, in the 64-bit view
  local key out=""
  for key in "$@"; do key_exists "$key" 64 && out+="y" || out+="n"; done
  echo "$out"
}
# The key lines of a backup file, with the 64-bit view's common part left out.
key_lines() {
  iconv -f UTF-16 -t UTF-8 "$APP_DIR/backup/$1" | tr -d '\r' | grep '^\[' |
    sed 's/^\[HKEY_LOCAL_MACHINE\\SOFTWARE\\/[/; s/Microsoft\\Windows\\CurrentVersion\\Uninstall\\//'
}
delete() {  # delete NAME COUNT: deletes the row NAME, the list then counts COUNT
  e2e_driver attach select-name "$1" command DeleteKeyUninstallMenu message-box 10000 yes \
    wait-status 0 "Элементов: $2" 30000 >/dev/null
}

# The program outlives this driver call: its output goes to no pipe the program could keep.
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" >/dev/null
out=$(e2e_driver attach rows)
e2e_check "both programs of one sub-key name listed, the twin once" \
  "Locked Entry|Pair (x64)|Pair (x86)|Shared Twin|Tool (x64)|Tool (x86)" "$(names <<<"$out")"

delete "Tool (x86)" 5
e2e_check "the 32-bit program deleted, the 64-bit one of the same sub-key name kept" "ny" \
  "$(present "$W\\Tool" "$M\\Tool")"
e2e_check "its backup holds the 32-bit key alone" "[WOW6432Node\\Tool]" "$(key_lines "Tool (x86).reg")"

delete "Pair (x64)" 4
e2e_check "the 64-bit program deleted, the 32-bit one of the same path kept" "ny" \
  "$(present "$M\\Pair" "$W\\Pair")"
e2e_check "its backup holds the 64-bit key alone" "[Pair]" "$(key_lines "Pair (x64).reg")"

delete "Shared Twin" 3
e2e_check "the twin deleted in both views" "nn" "$(present "$M\\Shared" "$W\\Shared")"
e2e_check "its backup holds both keys" "[WOW6432Node\\Shared]
[Shared]
[Shared\\Parts]" "$(key_lines "Shared Twin.reg")"

out=$(e2e_driver attach rows)
e2e_check "the other programs still listed" "Locked Entry|Pair (x86)|Tool (x64)" "$(names <<<"$out")"

# A key that cannot be read in full: the user is told which part and why; nothing changes.
out=$(e2e_driver attach select-name "Locked Entry" command DeleteKeyUninstallMenu \
  message-box 10000 yes message-box 10000 status)
box=$(grep -A3 '^message-box' <<<"$out" | sed -n '/Ошибка/,$p')
e2e_check "unreadable part reported" "message-box${T}Ошибка${T}Резервная копия не сохранена, запись не удалена." \
  "$(head -1 <<<"$box")"
grep -qF "[HKEY_LOCAL_MACHINE\\$UNINSTALL_KEY\\Locked\\Secret]" <<<"$box" &&
  echo "ok: the box names the key" || { echo "FAILED: the box does not name the key"; echo "$box";
  E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_check "the key kept" "y" "$(present "$M\\Locked")"
e2e_check "no backup left behind" "" "$(ls "$APP_DIR/backup" | grep Locked)"
e2e_check "still listed" "status${T}Элементов: 3" "$(grep '^status' <<<"$out" | cut -f1,2)"
e2e_driver attach close wait-exit >/dev/null
e2e_finish
