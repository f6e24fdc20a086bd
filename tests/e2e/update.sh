#!/usr/bin/env bash
# The update window against a loopback update server: each answer of the servers shows its
# state, a package downloads with progress beside the executable of a portable copy, a cancel
# or a broken transfer leaves no file, the start-up check asks only when the server is newer
# and makes no request when turned off, and requests go through the user's proxy.
source "$(dirname "$0")/lib.sh"
T=$'\t'
EXE="$APP_DIR_WIN\\Corvandel.exe"
shots=$E2E_WORK/screenshots
mkdir -p "$shots"
INTERNET='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'

e2e_prefix
: >"$APP_DIR/portable.ini"
mkdir -p "$APP_DIR/Config"
srv=$E2E_WORK/server
rm -rf "$srv" "$E2E_WORK/port"
mkdir -p "$srv/primary/Corvandel" "$srv/mirror/Corvandel"
REQUESTS=$E2E_WORK/requests.log
python3 "$E2E_DIR/update_server.py" "$E2E_WORK/port" "$srv" "$REQUESTS" &
SERVER_PID=$!
# A TLS server with a certificate of its own, which no system trusts.
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -days 1 \
  -keyout "$E2E_WORK/key.pem" -out "$E2E_WORK/cert.pem" >/dev/null 2>&1
TLS_REQUESTS=$E2E_WORK/tls-requests.log
: >"$TLS_REQUESTS"
rm -f "$E2E_WORK/tls-port"
python3 "$E2E_DIR/update_server.py" "$E2E_WORK/tls-port" "$srv" "$TLS_REQUESTS" \
  "$E2E_WORK/cert.pem" "$E2E_WORK/key.pem" &
TLS_PID=$!
trap 'kill "$SERVER_PID" "$TLS_PID" 2>/dev/null || true; e2e_cleanup' EXIT
for _ in $(seq 50); do [ -s "$E2E_WORK/port" ] && [ -s "$E2E_WORK/tls-port" ] && break; sleep 0.1; done
PORT=$(cat "$E2E_WORK/port")
TLS_PORT=$(cat "$E2E_WORK/tls-port")
"$WINE" reg add "$INTERNET" /v ProxyEnable /t REG_DWORD /d 0 /f /reg:64 >/dev/null 2>&1

# settings AUTOCHECK [PRIMARY-BASE]
settings() {
  printf '[Option]\r\nCheckBoxAutoCheck=%s\r\n[Update]\r\nPrimary=%s\r\nMirror=http://127.0.0.1:%s/mirror/\r\n' \
    "$1" "${2:-http://127.0.0.1:$PORT/primary/}" "$PORT" >"$APP_DIR/Config/Option.ini"
}
# serve SERVER FILE [TEXT]: the file with that text; without text, no file
serve() {
  rm -f "$srv/$1/Corvandel/$2"*
  [ $# -lt 3 ] || printf '%s' "$3" >"$srv/$1/Corvandel/$2"
}
# sign FILE: the file's own signature, and the signed release file of its folder that the
# program decides on, made with the key this build trusts
: "${TEST_SIGNING_KEY:?}"
sign() {
  openssl dgst -sha256 -sign "$TEST_SIGNING_KEY" -out "$1.sig" "$1"
  e2e_release_file "$(dirname "$1")"
}
# the update window after a check whose status starts with $1
check_window() {
  : >"$REQUESTS"
  e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
    wait-update-label "$1" update >"$E2E_WORK/out"
  [ -z "${2:-}" ] || import -window root "$shots/update-$2.png"
  e2e_driver attach update-close sleep 300 close wait-exit >/dev/null
  grep '^update' "$E2E_WORK/out" | cut -f3-
}
available() { echo "Доступно обновление 1.0.0.1 ---> $1${T}1.0.0.1${T}$1${T}Скачать${T}on${T}on${T}on${T}bar${T}no-auto"; }
no_update() { echo "Нет обновления${T}1.0.0.1${T}$1${T}Скачать${T}off${T}on${T}on${T}bar${T}no-auto"; }
settings 0

serve primary version.txt "1.2.0.0"
e2e_check "server newer" "$(available 1.2.0.0)" "$(check_window "Доступно" available)"
e2e_check "asked the primary only" "/primary/Corvandel/version.txt" "$(cat "$REQUESTS")"
serve primary version.txt "1.0.0.1"
e2e_check "server equal" "$(no_update 1.0.0.1)" "$(check_window "Нет обновления" no-update)"
serve primary version.txt "0.9"
e2e_check "server older" "$(no_update 0.9)" "$(check_window "Нет обновления")"
serve primary version.txt "10.8"
e2e_check "two parts against four" "$(available 10.8)" "$(check_window "Доступно")"
serve primary version.txt $' 1.2.0.0\r\n'
e2e_check "blanks and a line break around the version" "$(available 1.2.0.0)" "$(check_window "Доступно")"
serve primary version.txt "   "
serve mirror version.txt "1.1"
e2e_check "a body of blanks: the mirror answers" "$(available 1.1)" "$(check_window "Доступно")"
e2e_check "then the mirror was asked" "/primary/Corvandel/version.txt
/mirror/Corvandel/version.txt" "$(cat "$REQUESTS")"
serve primary version.txt
e2e_check "primary 404: the mirror answers" "$(available 1.1)" "$(check_window "Доступно")"
serve primary version.txt "1.2.0.0"
echo 7 >"$srv/primary/Corvandel/version.txt.slow"
e2e_check "primary past the read time-out: the mirror answers" "$(available 1.1)" \
  "$(check_window "Доступно")"
# Redirects are followed; one to a server whose certificate the system does not trust
# fails like any other answer, and the mirror is asked.
serve primary version.txt
printf 'http://127.0.0.1:%s/mirror/Corvandel/version.txt' "$PORT" >"$srv/primary/Corvandel/version.txt.redirect"
e2e_check "a redirect is followed" "$(available 1.1)" "$(check_window "Доступно")"
printf 'https://127.0.0.1:%s/primary/Corvandel/version.txt' "$TLS_PORT" >"$srv/primary/Corvandel/version.txt.redirect"
serve mirror version.txt "1.1.5"
e2e_check "an untrusted certificate: the mirror answers" "$(available 1.1.5)" "$(check_window "Доступно")"
e2e_check "nothing was asked over the refused connection" "" "$(cat "$TLS_REQUESTS")"
rm -f "$srv/primary/Corvandel/version.txt.redirect"
serve primary version.txt
serve mirror version.txt
e2e_check "both fail" "Не удалось проверить обновления${T}1.0.0.1${T}Ошибка соединения${T}Скачать${T}off${T}on${T}on${T}bar${T}no-auto" \
  "$(check_window "Не удалось" failed)"

# Answers no version can be: each is no answer, and the window says so while it answers.
# hostile_version WHAT: with the primary's version.txt set up so, a mirror without one
hostile_version() {
  e2e_check "$1: a failed check" "Не удалось проверить обновления${T}Ошибка соединения" \
    "$(check_window "Не удалось" | cut -f1,3)"
  rm -f "$srv/primary/Corvandel/version.txt".*
}
serve primary version.txt "1.2.0.0"
echo "3221225472 3221225472" >"$srv/primary/Corvandel/version.txt.stream"
hostile_version "3 GB announced and streamed"
serve primary version.txt "1.2.0.0"
echo "0 3221225472" >"$srv/primary/Corvandel/version.txt.stream"
hostile_version "an endless stream without a length"
serve primary version.txt "1.2.0.0"
echo 4 >"$srv/primary/Corvandel/version.txt.drip"
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
  latency 4000 wait-update-label "Не удалось" 30000 update update-close sleep 300 close wait-exit)
e2e_check "one byte every 4 s: a failed check" "Не удалось проверить обновления" \
  "$(grep '^update' <<<"$out" | cut -f3)"
worst=$(grep '^latency' <<<"$out" | cut -f3)
awk -v w="${worst:-99999}" 'BEGIN { exit !(w < 2000) }' &&
  echo "ok: the window answers meanwhile ($worst ms at worst)" ||
  { echo "FAILED: the window answered after $worst ms"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
# Closing while the start-up check waits on that server: the window goes at once and the
# check is stopped. (Windows breaks the request off; Wine lets it run to its next byte.)
settings 1
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" sleep 1000 close \
  sleep 500 windows wait-exit)
e2e_check "close while the start-up check waits on a dripping server" "windows${T}0
exit${T}0" "$(grep -E '^(windows|exit)' <<<"$out")"
settings 0
rm -f "$srv/primary/Corvandel/version.txt".*
serve primary version.txt $'1.2\r\n3.0.0.0'
hostile_version "a line break inside"
serve primary version.txt "1.2.0.0"
serve mirror version.txt "1.1"
echo "3221225472 3221225472" >"$srv/primary/Corvandel/version.txt.stream"
e2e_check "3 GB: the mirror is asked" "$(available 1.1)" "$(check_window "Доступно")"
rm -f "$srv/primary/Corvandel/version.txt".*
serve mirror version.txt

# The download: a portable copy's archive beside the executable, with progress.
serve primary version.txt "1.2.0.0"
# With "Быстрое" unticked the archive stays there and the program keeps running.
# random_archive FILE SIZE: a real archive (the program looks inside before keeping it) of one
# stored file of random bytes
random_archive() {
  python3 - "$1" "$2" <<'PY'
import os, sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_STORED) as archive:
    archive.writestr("Corvandel.exe", os.urandom(int(sys.argv[2])))
PY
}
random_archive "$srv/primary/Corvandel/Corvandel.zip" 5000000
sign "$srv/primary/Corvandel/Corvandel.zip"
# The server holds the body back at each quarter until the test has seen the bar there.
echo 4 >"$srv/primary/Corvandel/Corvandel.zip.gate"
rm -f "$srv/primary/Corvandel/Corvandel.zip.gate".*
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
  wait-update-label "Доступно" update-option quick off update-download \
  wait-update-progress 0 update >"$E2E_WORK/out"
import -window root "$shots/update-downloading.png"
for step in 1 2 3; do
  touch "$srv/primary/Corvandel/Corvandel.zip.gate.$step"
  [ $step = 3 ] || e2e_driver attach wait-update-progress "$(grep '^position' "$E2E_WORK/out" | tail -1 | cut -f2)" \
    >>"$E2E_WORK/out"
done
e2e_driver attach wait-update-label "Файлы обновления загружены!" update >>"$E2E_WORK/out"
import -window root "$shots/update-downloaded.png"
e2e_driver attach update-close sleep 300 close wait-exit >/dev/null
rm -f "$srv/primary/Corvandel/Corvandel.zip.gate"*
out=$(cat "$E2E_WORK/out")
e2e_check "while downloading" "Отмена${T}on${T}off${T}off${T}bar" \
  "$(grep '^update' <<<"$out" | head -1 | cut -f6-10)"
e2e_check "the bar stops at each quarter the server holds back, and goes on" "yes" \
  "$(grep '^position' <<<"$out" | cut -f2 | awk 'NR == 1 || $1 > last {n++} $1 > 0 && $1 < 100 {m++} {last = $1} END {print (n == 3 && m == 3) ? "yes" : "no"}')"
e2e_check "downloaded" "Файлы обновления загружены!${T}1.0.0.1${T}1.2.0.0${T}Скачать${T}on${T}on${T}on${T}no-bar" \
  "$(grep '^update' <<<"$out" | tail -1 | cut -f3-10)"
cmp -s "$srv/primary/Corvandel/Corvandel.zip" "$APP_DIR/Corvandel.zip" &&
  echo "ok: the archive beside the executable is the served one" ||
  { echo "FAILED: the archive differs or is missing"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
rm -f "$APP_DIR/Corvandel.zip"

# What the signed release file does not vouch for is refused, and nothing is left or asked.
# refused WHAT STATUS: the download after the check ends with that status
refused() {
  : >"$REQUESTS"
  e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
    wait-update-label "Доступно" update-option quick off update-download \
    wait-update-label "$2" 20000 update update-close sleep 300 close wait-exit >"$E2E_WORK/out"
  e2e_check "$1: refused" "$2${T}Скачать${T}on" "$(grep '^update' "$E2E_WORK/out" | cut -f3,6,7)"
  [ ! -e "$APP_DIR/Corvandel.zip" ] && echo "ok: $1: no file" ||
    { echo "FAILED: $1: a file was written"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
  rm -f "$APP_DIR/Corvandel.zip"
}
primary=$srv/primary/Corvandel
openssl ecparam -name prime256v1 -genkey -noout -out "$E2E_WORK/other-key.pem"
serve primary version.txt "99.0.0.0"
e2e_release_file "$primary" "1.0.0.0"
refused "a downgrade: an older signed release while version.txt says 99" \
  "Подпись файла обновления неверна!"
e2e_check "the package itself was never asked for" "0" "$(grep -c '/Corvandel.zip$' "$REQUESTS")"
serve primary version.txt "1.2.0.0"
e2e_release_file "$primary" "" "$E2E_WORK/other-key.pem"
refused "a release file signed with another key" "Подпись файла обновления неверна!"
cp "$primary/Corvandel.zip" "$E2E_WORK/genuine.zip"
e2e_release_file "$primary"
random_archive "$primary/Corvandel.zip" 30000
openssl dgst -sha256 -sign "$TEST_SIGNING_KEY" -out "$primary/Corvandel.zip.sig" "$primary/Corvandel.zip"
refused "a package swapped for another signed one" "Подпись файла обновления неверна!"
cp "$E2E_WORK/genuine.zip" "$primary/Corvandel.zip"
sign "$primary/Corvandel.zip"
rm "$primary/release.txt.sig"
refused "no signed release file" "Нет подписи файла обновления!"
# A signed archive with an entry that would land outside the program's folder: refused
# whole, with "Быстрое" ticked, before anything is written or any script is started.
python3 - "$primary/Corvandel.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w") as archive:
    archive.writestr("Corvandel.exe", "MZ")
    archive.writestr("..\\evil.txt", "evil")
PY
sign "$primary/Corvandel.zip"
: >"$REQUESTS"
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
  wait-update-label "Доступно" update-option quick on update-download \
  wait-update-label "Файлы обновления не загружены!" 20000 update update-option quick off \
  update-close sleep 300 close wait-exit >"$E2E_WORK/out"
e2e_check "an archive entry ..\\evil.txt: refused" "Файлы обновления не загружены!${T}Скачать${T}on" \
  "$(grep '^update' "$E2E_WORK/out" | cut -f3,6,7)"
e2e_check "the program stayed open until closed" "exit${T}0" "$(grep '^exit' "$E2E_WORK/out")"
[ ! -e "$APP_DIR/Corvandel.zip" ] && [ ! -e "$APP_DIR/../evil.txt" ] &&
  echo "ok: nothing of it was written" ||
  { echo "FAILED: the archive or its entry was written"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
cp "$E2E_WORK/genuine.zip" "$primary/Corvandel.zip"
sign "$primary/Corvandel.zip"

# "Принудительное": the same version again. Until it is ticked the download command (what
# Enter sends) does nothing; unticked again, the button is as the check left it.
serve primary version.txt "1.0.0.1"
e2e_release_file "$primary"
: >"$REQUESTS"
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
  wait-update-label "Нет обновления" update-option quick off update-download sleep 500 update \
  update-option force on update update-option force off update update-option force on \
  update-download wait-update-label "Файлы обновления загружены!" update update-close sleep 300 \
  close wait-exit >"$E2E_WORK/out"
e2e_check "forced download of the same version" "Нет обновления${T}Скачать${T}off
Нет обновления${T}Скачать${T}on
Нет обновления${T}Скачать${T}off
Файлы обновления загружены!${T}Скачать${T}on" "$(grep '^update' "$E2E_WORK/out" | cut -f3,6,7)"
e2e_check "the package was asked for once, when forced" "1" \
  "$(grep -c '/Corvandel.zip$' "$REQUESTS")"
cmp -s "$srv/primary/Corvandel/Corvandel.zip" "$APP_DIR/Corvandel.zip" &&
  echo "ok: the forced download arrived" ||
  { echo "FAILED: no archive after the forced download"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
rm -f "$APP_DIR/Corvandel.zip"
serve primary version.txt "1.2.0.0"
e2e_release_file "$primary"

# Cancel half way, and a connection that breaks: no file, the window ready again.
echo 0.1 >"$srv/primary/Corvandel/Corvandel.zip.pace"
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
  wait-update-label "Доступно" update-download sleep 1500 update-download \
  wait-update-label "Файлы обновления не загружены!" update >"$E2E_WORK/out"
import -window root "$shots/update-cancelled.png"
e2e_driver attach update-close sleep 300 close wait-exit >/dev/null
e2e_check "cancelled" "Файлы обновления не загружены!${T}1.0.0.1${T}1.2.0.0${T}Скачать${T}on${T}on${T}on${T}no-bar" \
  "$(grep '^update' "$E2E_WORK/out" | cut -f3-10)"
[ ! -e "$APP_DIR/Corvandel.zip" ] && echo "ok: a cancelled download leaves no file" ||
  { echo "FAILED: a cancelled download left a file"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
rm -f "$srv/primary/Corvandel/Corvandel.zip.pace"
: >"$srv/primary/Corvandel/Corvandel.zip.drop"
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
  wait-update-label "Доступно" update-download \
  wait-update-label "Файлы обновления не загружены!" update update-close sleep 300 \
  close wait-exit >"$E2E_WORK/out"
e2e_check "a broken transfer is reported" "Файлы обновления не загружены!${T}Скачать${T}on" \
  "$(grep '^update' "$E2E_WORK/out" | cut -f3,6,7)"
[ ! -e "$APP_DIR/Corvandel.zip" ] && echo "ok: a broken transfer leaves no file" ||
  { echo "FAILED: a broken transfer left a file"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
rm -f "$srv/primary/Corvandel/Corvandel.zip.drop"
# A package that stops after 1 MB of an announced 10 GB: refused at once; an archive kept
# beside the executable from an earlier update stays as it was.
echo "10737418240 1048576" >"$srv/primary/Corvandel/Corvandel.zip.stream"
printf 'kept from an earlier update' >"$APP_DIR/Corvandel.zip"
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
  wait-update-label "Доступно" update-download \
  wait-update-label "Файлы обновления не загружены!" 30000 update update-close sleep 300 \
  close wait-exit >"$E2E_WORK/out"
e2e_check "10 GB announced: refused" "Файлы обновления не загружены!${T}Скачать${T}on" \
  "$(grep '^update' "$E2E_WORK/out" | cut -f3,6,7)"
e2e_check "the kept archive is untouched" "kept from an earlier update" \
  "$(cat "$APP_DIR/Corvandel.zip" 2>/dev/null)"
rm -f "$srv/primary/Corvandel/Corvandel.zip.stream" "$APP_DIR/Corvandel.zip"

# The start-up check: no request at all when it is off; no question when the server is not
# newer; the question when it is, and "Да" downloads at once.
settings 0
: >"$REQUESTS"
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" sleep 1500 close wait-exit >/dev/null
e2e_check "start-up check off: no request" "" "$(cat "$REQUESTS")"
serve primary version.txt "1.0.0.1"
settings 1
: >"$REQUESTS"
out=$(e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" sleep 1500 windows \
  close wait-exit)
e2e_check "server not newer: asked, no question" "/primary/Corvandel/version.txt
windows${T}1" "$(cat "$REQUESTS"; grep '^windows' <<<"$out")"
serve primary version.txt "1.2.0.0"
e2e_driver launch "$EXE" message-box-buttons 20000 >"$E2E_WORK/buttons"
import -window root "$shots/update-question.png"
e2e_check "the question's buttons" "buttons${T}Да${T}Нет" "$(cat "$E2E_WORK/buttons")"
out=$(e2e_driver attach message-box 20000 no wait-window wait-status 0 "Элементов:" \
  close wait-exit)
e2e_check "server newer: the question" "message-box${T}Corvandel${T}Доступно обновление 1.2.0.0
Хотите обновить приложение сейчас?" "$(grep -A1 '^message-box' <<<"$out" | tr -d '\r')"
e2e_driver launch "$EXE" update-option quick off message-box 20000 yes \
  wait-update-label "Файлы обновления загружены!" update update-close sleep 300 \
  close wait-exit >"$E2E_WORK/out"
e2e_check "Да downloads at once" "Файлы обновления загружены!${T}1.0.0.1${T}${T}Скачать${T}on" \
  "$(grep '^update' "$E2E_WORK/out" | cut -f3-7)"
cmp -s "$srv/primary/Corvandel/Corvandel.zip" "$APP_DIR/Corvandel.zip" &&
  echo "ok: the archive arrived" ||
  { echo "FAILED: no archive after Да"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_check "the option is saved at close" "CheckBoxAutoCheck=1" \
  "$(tr -d '\r' <"$APP_DIR/Config/Option.ini" | grep '^CheckBoxAutoCheck=')"

# An installed copy: its settings in the profile, the installer in the temporary folder.
rm -f "$APP_DIR/portable.ini" "$APP_DIR/Corvandel.zip"
user_dir=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData | grep -v /Public/ | head -1)
profile_ini=$user_dir/Roaming/Corvandel/Corvandel/Config/Option.ini
mkdir -p "$(dirname "$profile_ini")"
settings 0
mv "$APP_DIR/Config/Option.ini" "$profile_ini"
# A stand-in installer that notes how it was started; without "Быстрое" it starts with no
# switches and the program stays open.
cp "${FAKE_UNINSTALLER:?}" "$srv/primary/Corvandel/Corvandel-setup.exe"
sign "$srv/primary/Corvandel/Corvandel-setup.exe"
temp_dir=$("$WINE" winepath -u "$("$WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')" 2>/dev/null)
rm -rf "$temp_dir"/Corvandel-update-*
e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command CheckUpdateMenu \
  wait-update-label "Доступно" update-option quick off update-download \
  wait-update-label "Файлы обновления загружены!" sleep 1000 update-close sleep 300 close \
  wait-exit >/dev/null
installer=$(ls "$temp_dir"/Corvandel-update-*/Corvandel-setup.exe 2>/dev/null | head -1)
cmp -s "$srv/primary/Corvandel/Corvandel-setup.exe" "$installer" &&
  echo "ok: an installed copy's installer lies in a new folder of the temporary folder" ||
  { echo "FAILED: no installer in a new folder of the temporary folder"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
e2e_check "without Быстрое the installer starts with no switches" \
  "$(printf '"%s"' "$("$WINE" winepath -w "$installer" 2>/dev/null)")" \
  "$(sed 's/ *$//' "$(dirname "$installer")/started.txt" 2>/dev/null)"
[ ! -e "$APP_DIR/Corvandel-setup.exe" ] && echo "ok: and not beside the executable" ||
  { echo "FAILED: the installer went beside the executable"; E2E_FAILURES=$((E2E_FAILURES + 1)); }
rm -f "$profile_ini"
: >"$APP_DIR/portable.ini"

# Through the user's proxy: a host that only the proxy knows.
"$WINE" reg add "$INTERNET" /v ProxyEnable /t REG_DWORD /d 1 /f /reg:64 >/dev/null 2>&1
"$WINE" reg add "$INTERNET" /v ProxyServer /d "127.0.0.1:$PORT" /f /reg:64 >/dev/null 2>&1
settings 0 "http://updates.corvandel.test/primary/"
e2e_check "through the proxy" "$(available 1.2.0.0)" "$(check_window "Доступно")"
e2e_check "the proxy got the request" "proxy http://updates.corvandel.test /primary/Corvandel/version.txt" \
  "$(head -1 "$REQUESTS" | sed -E 's|^(proxy http://[^/:]+)(:80)?(/.*)$|\1 \3|')"
e2e_finish
