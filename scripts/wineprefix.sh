#!/usr/bin/env bash
# Creates a Wine prefix for the tests or the demonstration:
#   wineprefix.sh DIR [win10|win7] [no-wm]
# no-wm: for virtual displays, which have no window manager.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
dir=$1
version=${2:-win10}
export WINEPREFIX=$dir
[ -n "${DISPLAY:-}" ] || { own_display; trap 'kill "$OWN_XVFB_PID" 2>/dev/null || true' EXIT; }
rm -rf "$dir"
mkdir -p "$(dirname "$dir")"
"$WINE" wineboot -i >/dev/null 2>&1 || true
"$WINE" winecfg -v "$version" >/dev/null 2>&1
# Without a window manager Wine waits two seconds for one at every window that closes; the
# windows of a prefix for virtual displays are Wine's own to manage, and close at once.
if [ "${3:-}" = no-wm ]; then
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f /reg:64 >/dev/null 2>&1
  # Nothing started in these prefixes reaches outside the machine: the program's requests go
  # through the user's proxy, here a loopback port where nothing listens, so the start-up
  # update check fails at once. Tests of the updater name their own servers and proxy.
  internet='HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings'
  "$WINE" reg add "$internet" /v ProxyEnable /t REG_DWORD /d 1 /f /reg:64 >/dev/null 2>&1
  "$WINE" reg add "$internet" /v ProxyServer /d 127.0.0.1:9 /f /reg:64 >/dev/null 2>&1
fi
"$WINESERVER" -w
test -f "$dir/system.reg" || { echo "wineprefix.sh: could not create $dir" >&2; exit 1; }
