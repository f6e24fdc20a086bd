#!/usr/bin/env bash
# Time to list 2,000 uninstall entries, next to Wine's own uninstaller over the same prefix.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
source scripts/wine-env.sh
export LANG=ru_RU.UTF-8 LC_NUMERIC=C
count=${1:-2000}
work=$root/build/bench
mkdir -p "$work"
export WINEPREFIX=$work/prefix
[ -f "$WINEPREFIX/system.reg" ] || bash scripts/wineprefix.sh "$WINEPREFIX" win10 no-wm

python3 - "$count" >"$work/bench.reg" <<'PY'
import sys
n = int(sys.argv[1])
out = ["Windows Registry Editor Version 5.00", ""]
roots = [r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall",
         r"HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"]
for i in range(n):
    out.append("[%s\\Bench Program %04d]" % (roots[i % 2], i))
    out.append('"DisplayName"="Bench Program %04d"' % i)
    out.append('"Publisher"="Bench Publisher %d"' % (i % 37))
    out.append('"DisplayVersion"="1.%d.%d"' % (i % 10, i))
    out.append('"InstallLocation"="C:\\\\Program Files\\\\Bench %04d\\\\"' % i)
    out.append('"DisplayIcon"="C:\\\\Program Files\\\\Bench %04d\\\\bench.exe,0"' % i)
    out.append('"UninstallString"="\\"C:\\\\Program Files\\\\Bench %04d\\\\unins000.exe\\" /SILENT"' % i)
    out.append("")
print("\n".join(out))
PY
iconv -f UTF-8 -t UTF-16 "$work/bench.reg" >"$work/bench-utf16.reg"
"$WINE" reg import "$("$WINE" winepath -w "$work/bench-utf16.reg" 2>/dev/null)" /reg:64
"$WINESERVER" -k 2>/dev/null || true  # no copy of the program left running in this prefix
app=$WINEPREFIX/drive_c/Corvandel
mkdir -p "$app" && cp "$WINE_BUILD/Corvandel.exe" "$app/"

xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash -c '
  set -e
  "$WINE" cmd.exe /c exit >/dev/null 2>&1 || true  # a running wineserver, as for the other program
  start=$(date +%s.%N)
  "$WINE" "$1" launch "C:\\Corvandel\\Corvandel.exe" wait-window wait-status 0 "Элементов: $2" 600000 \
    close wait-exit >/dev/null
  end=$(date +%s.%N)
  ours=$(echo "$end - $start" | bc -l)
  start=$(date +%s.%N)
  listed=$("$WINE" uninstaller --list 2>/dev/null | wc -l)
  end=$(date +%s.%N)
  theirs=$(echo "$end - $start" | bc -l)
  "$WINESERVER" -k 2>/dev/null || true
  printf "Corvandel.exe, start to \"Элементов: %s\": %.2f s\n" "$2" "$ours"
  printf "uninstaller --list (%s lines):            %.2f s\n" "$listed" "$theirs"
  printf "ratio: %.2f\n" "$(echo "$ours / $theirs" | bc -l)"
' bench "$WINE_BUILD/corvandel_driver.exe" "$count"
