#!/usr/bin/env bash
# The release packages and their use: the release script's folder, a silent installation
# that Corvandel lists and uninstalls, a quick update of an installed copy by the real
# installer, the installer's switches, packages whose signature fails, and a quick update of
# a portable copy in a folder named with "%" and Cyrillic letters. The portable update runs
# its script with Wine's command processor and a stand-in for the extraction command.
source "$(dirname "$0")/lib.sh"
: "${TEST_SIGNING_KEY:?}" "${SCRIPT_STANDIN:?}" "${CORVANDEL_BUILD_DIR:?}" "${FAKE_UNINSTALLER:?}"
T=$'\t'
ROOT=$(cd "$E2E_DIR/../.." && pwd)
shots=$E2E_WORK/screenshots
mkdir -p "$shots"
fail() { echo "FAILED: $1"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
ok() { echo "ok: $1"; }
version_of() { python3 "$ROOT/scripts/pe_version.py" read "$1" 2>/dev/null || echo none; }
# wait_until SECONDS COMMAND...: true once the command succeeds within that time
wait_until() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do [ $SECONDS -lt $end ] || return 1; sleep 0.5; done
}
version_is() { [ "$(version_of "$1")" = "$2" ]; }
# check_restarted NAME EXE CAPTION_TAIL: the program file there becomes the newer version,
# and that version runs again with its window
check_restarted() {
  wait_until 60 version_is "$2" "$newer" && ok "$1: the newer version is in place" ||
    fail "$1: its version: $(version_of "$2")"
  e2e_driver attach 30000 caption >"$E2E_WORK/out" 2>/dev/null
  e2e_check "$1: and running" "caption${T}Corvandel $newer (32-bit)$3" \
    "$(grep '^caption' "$E2E_WORK/out" | sed 's/(64-bit)/(32-bit)/')"
}
sign() { openssl dgst -sha256 -sign "${2:-$TEST_SIGNING_KEY}" -out "$1.sig" "$1"; }

# The packages of this build, and of the same build stamped as a newer version.
rel=$E2E_WORK/release
rm -rf "$rel"
mkdir -p "$rel/newer-build/Language"
bash "$ROOT/scripts/release.sh" --build "$CORVANDEL_BUILD_DIR" --key "$TEST_SIGNING_KEY" \
  --out "$rel/current" >/dev/null || fail "release.sh on this build"
cp "$CORVANDEL_BUILD_DIR/Corvandel.exe" "$CORVANDEL_BUILD_DIR/Corvandel.com" \
  "$CORVANDEL_BUILD_DIR/update_key.pub.pem" "$rel/newer-build/"
cp "$CORVANDEL_BUILD_DIR"/Language/*.ini "$rel/newer-build/Language/"
current_version=$(version_of "$CORVANDEL_BUILD_DIR/Corvandel.exe")
newer=$(python3 "$ROOT/scripts/pe_version.py" next "$current_version")
python3 "$ROOT/scripts/pe_version.py" stamp "$rel/newer-build/Corvandel.exe" "$newer"
bash "$ROOT/scripts/release.sh" --build "$rel/newer-build" --key "$TEST_SIGNING_KEY" \
  --out "$rel/newer" >/dev/null || fail "release.sh on the newer build"
e2e_check "the server's folder" "Corvandel-setup.exe
Corvandel-setup.exe.sig
Corvandel.zip
Corvandel.zip.sig
release.txt
release.txt.sig
version.txt" "$(ls "$rel/current/Corvandel")"
e2e_check "the release file names the version and each package's digest" "Corvandel release
version=$current_version
sha256 Corvandel-setup.exe=$(sha256sum "$rel/current/Corvandel/Corvandel-setup.exe" | cut -d' ' -f1)
sha256 Corvandel.zip=$(sha256sum "$rel/current/Corvandel/Corvandel.zip" | cut -d' ' -f1)" \
  "$(tr -d '\r' <"$rel/current/Corvandel/release.txt")"
e2e_check "version.txt holds the program's file version" "$current_version|$newer" \
  "$(tr -d '\r\n' <"$rel/current/Corvandel/version.txt")|$(tr -d '\r\n' <"$rel/newer/Corvandel/version.txt")"
e2e_check "the archive: files, then each folder ahead of its files" \
  "Corvandel.exe Corvandel.com portable.ini Language/ Language/English.ini Language/Russian.ini" \
  "$(python3 -c 'import sys, zipfile; print(*zipfile.ZipFile(sys.argv[1]).namelist())' "$rel/current/Corvandel/Corvandel.zip")"
for package in Corvandel-setup.exe Corvandel.zip release.txt; do
  openssl dgst -sha256 -verify "$CORVANDEL_BUILD_DIR/update_key.pub.pem" \
    -signature "$rel/current/Corvandel/$package.sig" "$rel/current/Corvandel/$package" >/dev/null &&
    ok "$package is signed with the key the program trusts" || fail "$package's signature"
done
openssl ecparam -name prime256v1 -genkey -noout -out "$rel/other-key.pem"
if bash "$ROOT/scripts/release.sh" --build "$CORVANDEL_BUILD_DIR" --key "$rel/other-key.pem" \
  --out "$rel/refused" >"$rel/refused.log" 2>&1; then
  fail "release.sh signed with a key the program does not trust"
else
  grep -q "is not the key that" "$rel/refused.log" && ok "release.sh refuses a key the program does not trust" ||
    fail "release.sh's refusal: $(cat "$rel/refused.log")"
fi

# A loopback update server over the release folders.
srv=$E2E_WORK/server
rm -rf "$srv" "$E2E_WORK/port"
mkdir -p "$srv"
REQUESTS=$E2E_WORK/requests.log
python3 "$E2E_DIR/update_server.py" "$E2E_WORK/port" "$srv" "$REQUESTS" &
SERVER_PID=$!
trap 'kill "$SERVER_PID" 2>/dev/null || true; e2e_cleanup' EXIT
wait_until 10 test -s "$E2E_WORK/port" || fail "the update server did not start"
PORT=$(cat "$E2E_WORK/port")
# publish NAME FOLDER: the release folder under /NAME/
publish() { rm -rf "${srv:?}/$1"; mkdir -p "$srv/$1"; cp -r "$2/Corvandel" "$srv/$1/"; }
# settings FILE SERVER [LANGUAGE]: the settings of a copy that asks that server
settings() {
  mkdir -p "$(dirname "$1")"
  printf '[Option]\r\nCheckBoxAutoCheck=0\r\n[Update]\r\nPrimary=http://127.0.0.1:%s/%s/\r\nMirror=http://127.0.0.1:%s/%s/\r\n' \
    "$PORT" "$2" "$PORT" "$2" >"$1"
  [ -z "${3:-}" ] || printf '[Language]\r\nLanguage=%s\r\n' "$3" >>"$1"
}

e2e_prefix
INTERNET='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
"$WINE" reg add "$INTERNET" /v ProxyEnable /t REG_DWORD /d 0 /f /reg:64 >/dev/null 2>&1
user_dir=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData | grep -v /Public/ | head -1)
profile_ini=$user_dir/Roaming/Corvandel/Corvandel/Config/Option.ini
temp_dir=$("$WINE" winepath -u "$("$WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
# Each download puts the installer into a new folder of its own in the temporary folder; the
# stand-in notes its command line in "started.txt" beside itself.
started() { ls "$temp_dir"/Corvandel-update-*/started.txt 2>/dev/null | head -1; }
clear_started() { rm -rf "$temp_dir"/Corvandel-update-*; }
started_noted() { test -s "$(started)"; }
KEY='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Corvandel'

if ! kernel_runs_i386; then
  # The installer is a 32-bit program, and this machine's kernel does not run 32-bit code.
  e2e_skip "the installer's checks: install, uninstall through the list, user data, update of an installed copy" \
    "the installer is a 32-bit program and this kernel does not run 32-bit code"
else
  # entry_value NAME: a text value of the program's uninstall entry (32-bit view)
  entry_value() {
    "$WINE" reg query "$KEY" /v "$1" /reg:32 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'
  }
  # install SWITCHES...: the current release's installer, run with those switches
  install() {
    "$WINE" "$("$WINE" winepath -w "$rel/current/Corvandel/Corvandel-setup.exe" 2>/dev/null)" \
      "$@" >/dev/null 2>&1
  }
  # A silent installation: the program, its languages, a shortcut and its uninstall entry.
  install /SILENT /SUPPRESSMSGBOXES || fail "the installer's exit code"
  location=$(entry_value InstallLocation)
  install_dir=$("$WINE" winepath -u "$location" 2>/dev/null)
  e2e_check "installed into the 32-bit Program Files folder" \
    "$(printf '%s\\Corvandel' "$("$WINE" cmd /c echo '%ProgramFiles(x86)%' 2>/dev/null | tr -d '\r' | sed 's/%ProgramFiles(x86)%/C:\\Program Files/')")" \
    "$location"
  e2e_check "the installed files" "Corvandel.com Corvandel.exe Language/English.ini Language/Russian.ini uninst.exe" \
    "$(cd "$install_dir" 2>/dev/null && find . -type f | sed 's|^\./||' | sort | tr '\n' ' ' | sed 's/ $//')"
  [ -f "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvandel.lnk" ] &&
    ok "the Start-menu shortcut" || fail "no Start-menu shortcut"

  # What a user made with this copy: backups, uninstall records and a clean-up's quarantine.
  # plant_user_data: such files in the installed folder
  plant_user_data() {
    mkdir -p "$install_dir/backup" "$install_dir/records" "$install_dir/quarantine/2026-01-02 10-00-00/C"
    printf 'Windows Registry Editor Version 5.00\r\n' >"$install_dir/backup/Old tool.reg"
    printf 'record\r\n' >"$install_dir/records/Old tool 2026-01-02 10-00-00.record"
    printf 'x' >"$install_dir/quarantine/2026-01-02 10-00-00/C/tool.ini"
    chmod a-w "$install_dir/quarantine/2026-01-02 10-00-00/C/tool.ini"
  }
  files_left() { (cd "$install_dir" 2>/dev/null && find . -type f | sed 's|^\./||' | sort | tr '\n' '|'); }
  plant_user_data

  # The real NSIS uninstaller is known by its header: without the entry's own quiet command,
  # the quiet way is "/S".
  "$WINE" reg delete "$KEY" /v QuietUninstallString /f /reg:32 >/dev/null 2>&1
  out_win=$("$WINE" winepath -w "$E2E_WORK/list.json" 2>/dev/null)
  err_win=$("$WINE" winepath -w "$E2E_WORK/list.err" 2>/dev/null)
  "$WINE" "$CORVANDEL_DRIVER" run "$out_win" "$err_win" "\"$location\\Corvandel.exe\" /list /format=json" >/dev/null 2>&1
  e2e_check "an NSIS uninstaller known by its header" "\"$location\\uninst.exe\" /S" \
    "$(python3 -c 'import json,sys; print([r for r in json.load(open(sys.argv[1], encoding="utf-8")) if r["name"] == "Corvandel"][0]["quietUninstallCommand"])' "$E2E_WORK/list.json" 2>&1)"

  # Corvandel lists itself; "Деинсталляция" on its row runs the uninstaller.
  e2e_driver launch "$location\\Corvandel.exe" wait-window wait-status 0 "Элементов:" \
    select-name Corvandel list-rows ListViewUninstall 6 >"$E2E_WORK/out"
  row=$(grep "^list-row${T}Corvandel${T}" "$E2E_WORK/out" | head -1)
  e2e_check "Corvandel lists itself with publisher and version" "Corvandel${T}Corvandel${T}$current_version" \
    "$(cut -f2-4 <<<"$row")"
  grep -q "${T}$(date +%d.%m.%Y)${T}" <<<"$row" && ok "with today's date" || fail "the date: $row"
  e2e_driver attach command UninstallUninstallMenu >/dev/null
  "$WINE" "$CORVANDEL_DRIVER" click-foreign "Corvandel Uninstall" Uninstall 20000 >/dev/null 2>&1 ||
    fail "the uninstaller's window"
  import -window root "$shots/uninstaller-question.png"
  # The uninstaller closes the running program first, after saying so (the system's button
  # reads "ОК" in Russian).
  "$WINE" "$CORVANDEL_DRIVER" click-foreign "Corvandel Uninstall" "ОК" 20000 >/dev/null 2>&1 ||
    fail "the uninstaller's question about the running program"
  # Then it asks about what the user made with the program; "Нет" deletes that too.
  "$WINE" "$CORVANDEL_DRIVER" wait-foreign "Corvandel Uninstall" "Нет" 20000 >/dev/null 2>&1 &&
    import -window root "$shots/uninstaller-user-data.png"
  "$WINE" "$CORVANDEL_DRIVER" click-foreign "Corvandel Uninstall" "Нет" 20000 >/dev/null 2>&1 ||
    fail "the uninstaller's question about backups, records and quarantine"
  wait_until 30 test ! -e "$install_dir/Corvandel.exe" && ok "the uninstaller removed the program" ||
    fail "the program is still installed"
  wait_until 10 test ! -e "$install_dir" && ok "and its folder, with the user's data as asked" ||
    fail "the folder is left: $(ls -R "$install_dir")"
  key_exists "$KEY" 32 && fail "the uninstall entry is left" || ok "and its uninstall entry"
  [ ! -e "$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Corvandel.lnk" ] &&
    ok "and its shortcut" || fail "the shortcut is left"
  "$WINESERVER" -w 2>/dev/null || true

  # An installed copy again, whose settings ask the loopback server.
  install /SILENT /SUPPRESSMSGBOXES /LANG=Russian || fail "the second installation"
  e2e_check "/LANG=Russian: the installer speaks Russian" "1049" "$(entry_value InstallerLanguage)"

  installed_exe="$location\\Corvandel.exe"

  # "Быстрое": a stand-in installer notes its switches; the program ends without saving.
  stand=$rel/stand/Corvandel
  mkdir -p "$stand"
  printf '99.0.0.1\r\n' >"$stand/version.txt"
  cp "$FAKE_UNINSTALLER" "$stand/Corvandel-setup.exe"
  sign "$stand/Corvandel-setup.exe"
  e2e_release_file "$stand"
  publish stand "$rel/stand"
  # A language setting that tries to add a switch of its own to the elevated installer.
  settings "$profile_ini" stand 'x /D=C:\Users\Public\C'
  cp "$profile_ini" "$E2E_WORK/settings-before"
  clear_started
  e2e_driver launch "$installed_exe" wait-window wait-status 0 "Элементов:" \
    command CheckUpdateMenu wait-update-label "Доступно" update-option auto on update-download \
    wait-exit 20000 >/dev/null
  wait_until 10 started_noted || fail "the installer did not start"
  e2e_check "the installer's switches: a language it knows, nothing of the setting's own" \
    "\"C:\\users\\$(basename "$(dirname "$user_dir")")\\Temp\\Corvandel-update-N\\Corvandel-setup.exe\" /SILENT /CLOSEAPPLICATIONS /SUPPRESSMSGBOXES /LANG=English /MERGETASKS=\"runcmd1\"" \
    "$(tr -d '\r\n' <"$(started)" | sed -e 's/ *$//' -e 's/Corvandel-update-[0-9a-f]\{16\}/Corvandel-update-N/')"
  cmp -s "$E2E_WORK/settings-before" "$profile_ini" && ok "no settings were saved at that exit" ||
    fail "the settings changed: $(tr -d '\r' <"$profile_ini")"
  settings "$profile_ini" stand English
  clear_started
  e2e_driver launch "$installed_exe" wait-window wait-status 0 "Items:" \
    command CheckUpdateMenu wait-update-label "Update available" update-download wait-exit 20000 >/dev/null
  wait_until 10 started_noted || fail "the installer did not start in English"
  grep -q ' /LANG=English /MERGETASKS="runcmd1"' "$(started)" &&
    ok "the chosen language goes to the installer" || fail "the language: $(cat "$(started)")"

  # A release file whose signature is missing, made with another key or malformed, or a
  # package no longer matching it.
  # check_refused NAME STATUS: the download ends with that status, and nothing is started.
  check_refused() {
    clear_started
    e2e_driver launch "$installed_exe" wait-window wait-status 0 "Элементов:" \
      command CheckUpdateMenu wait-update-label "Доступно" update-download \
      wait-update-label "$2" 20000 update >"$E2E_WORK/out"
    [ "$1" != "another key" ] || import -window root "$shots/update-bad-signature.png"
    e2e_driver attach update-close sleep 300 close wait-exit >/dev/null
    e2e_check "$1: the status says why" "$2${T}Скачать${T}on" \
      "$(grep '^update' "$E2E_WORK/out" | cut -f3,6,7)"
    sleep 1
    [ -z "$(ls -d "$temp_dir"/Corvandel-update-* 2>/dev/null)" ] &&
      ok "$1: nothing started, no package left" || fail "$1: the package was kept or started"
  }
  settings "$profile_ini" stand
  stand_folder=$srv/stand/Corvandel
  rm "$stand_folder/release.txt.sig"
  check_refused "no signed release file" "Нет подписи файла обновления!"
  e2e_release_file "$stand_folder" "" "$rel/other-key.pem"
  check_refused "another key" "Подпись файла обновления неверна!"
  e2e_release_file "$stand_folder"
  printf 'x' >>"$stand_folder/Corvandel-setup.exe"
  check_refused "changed after signing" "Подпись файла обновления неверна!"
  head -c 71 /dev/urandom >"$stand_folder/release.txt.sig"
  check_refused "a malformed signature" "Подпись файла обновления неверна!"

  # The real installer of the newer version: installed and running, with no question.
  publish newer "$rel/newer"
  settings "$profile_ini" newer
  e2e_driver launch "$installed_exe" wait-window wait-status 0 "Элементов:" \
    command CheckUpdateMenu wait-update-label "Доступно" update-download wait-exit 20000 >/dev/null
  check_restarted "installed copy" "$install_dir/Corvandel.exe" ""
  e2e_check "no language chosen: English" "1033" "$(entry_value InstallerLanguage)"
  e2e_check "its entry names the new version" "$newer" \
    "$(entry_value DisplayVersion)"
  e2e_driver attach close wait-exit >/dev/null
  "$WINESERVER" -w 2>/dev/null || true

  # A silent uninstall asks nothing and keeps what the user made.
  plant_user_data
  "$WINE" "$location\\uninst.exe" /S >/dev/null 2>&1 || fail "the silent uninstaller's exit code"
  user_data_only() {
    [ "$(files_left)" = "backup/Old tool.reg|quarantine/2026-01-02 10-00-00/C/tool.ini|records/Old tool 2026-01-02 10-00-00.record|" ]
  }
  wait_until 30 user_data_only && ok "a silent uninstall keeps the user's backups, records and quarantine, and nothing else" ||
    fail "after a silent uninstall: $(files_left)"
  key_exists "$KEY" 32 && fail "the silent uninstall left the entry" || ok "and removes the entry"
  "$WINESERVER" -w 2>/dev/null || true
fi

# A portable copy in a folder whose name holds "%" and Cyrillic letters, with "Быстрое":
# the script replaces its files from the archive and starts it again. Wine has neither
# PowerShell nor "timeout"; the stand-in plays both and logs each call.
for folder in system32 syswow64; do
  if [ -d "$WINEPREFIX/drive_c/windows/$folder" ]; then
    # The script calls PowerShell by its full path in the system folder.
    mkdir -p "$WINEPREFIX/drive_c/windows/$folder/WindowsPowerShell/v1.0"
    cp "$SCRIPT_STANDIN" "$WINEPREFIX/drive_c/windows/$folder/WindowsPowerShell/v1.0/powershell.exe"
    cp "$SCRIPT_STANDIN" "$WINEPREFIX/drive_c/windows/$folder/timeout.exe"
  fi
done
# Wine may carry a placeholder of its own under the same name; the stand-in wins.
for program in powershell.exe timeout.exe; do
  "$WINE" reg add 'HKCU\Software\Wine\DllOverrides' /v "$program" /d native /f /reg:64 >/dev/null 2>&1
done
standin_log() {
  cat "$WINEPREFIX"/drive_c/windows/*/standin.log \
    "$WINEPREFIX"/drive_c/windows/*/WindowsPowerShell/v1.0/standin.log 2>/dev/null || true
}
portable_win='C:\Прог 100%PATH% & Co\Corvandel'
portable=$WINEPREFIX/drive_c/'Прог 100%PATH% & Co'/Corvandel
mkdir -p "$portable"
cp "$CORVANDEL_EXE" "$portable/Corvandel.exe"
: >"$portable/portable.ini"
publish newer "$rel/newer"

# First a changed archive: refused before anything is written or started.
publish tampered "$rel/newer"
printf 'x' >>"$srv/tampered/Corvandel/Corvandel.zip"
settings "$portable/Config/Option.ini" tampered
e2e_driver launch "$portable_win\\Corvandel.exe" wait-window wait-status 0 "Элементов:" \
  command CheckUpdateMenu wait-update-label "Доступно" update-download \
  wait-update-label "Подпись" 20000 update update-close sleep 300 close wait-exit >"$E2E_WORK/out"
e2e_check "a changed archive is refused" \
  "Подпись файла обновления неверна!${T}Скачать${T}on" \
  "$(grep '^update' "$E2E_WORK/out" | cut -f3,6,7)"
[ ! -e "$portable/Corvandel.zip" ] && [ -z "$(standin_log)" ] &&
  ok "nothing was written or extracted" || fail "the changed archive was kept or extracted"

settings "$portable/Config/Option.ini" newer
rm -f "$temp_dir"/update_*.bat
e2e_driver launch "$portable_win\\Corvandel.exe" wait-window wait-status 0 "Элементов:" \
  command CheckUpdateMenu wait-update-label "Доступно" update-download wait-exit 20000 >/dev/null
check_restarted "portable copy" "$portable/Corvandel.exe" " Portable"
e2e_check "the archive's entries were extracted in the program's folder" \
  "extracted Corvandel.exe
extracted Corvandel.com
extracted portable.ini
extracted Language/English.ini
extracted Language/Russian.ini" "$(standin_log | grep -v ' in ')"
grep -qF "powershell.exe in $portable_win: " <<<"$(standin_log)" &&
  ok "the extraction ran in that folder" || fail "where the extraction ran: $(standin_log)"
cmp -s "$CORVANDEL_BUILD_DIR/Language/English.ini" "$portable/Language/English.ini" &&
  ok "the language files came with it" || fail "no language files"
wait_until 10 test ! -e "$portable/Corvandel.zip" && ok "the archive was deleted" ||
  fail "the archive is left"
no_script() { [ -z "$(ls "$temp_dir"/update_*.bat 2>/dev/null)" ]; }
wait_until 10 no_script && ok "the script deleted itself" ||
  fail "the script is left: $(ls "$temp_dir"/update_*.bat)"
e2e_driver attach close wait-exit >/dev/null

e2e_finish
