#!/usr/bin/env bash
# Speed and memory with uninstall entries as real machines have them, next to Wine's own
# uninstaller over the same prefix: bench.sh [COUNT...] (default: 2000 10000) [--runs N]
#
# Per count, a fresh prefix gets COUNT entries: 60% in the 64-bit view, 25% under
# WOW6432Node, 15% per-user; about 10% hidden (system components, child entries, entries
# without an uninstall command); about 30% installer-database keys; and for 70% of the
# entries a DisplayIcon file that exists on disk (hard links to one system program, so the
# prefix stays small). Each figure is taken N times (default 3): minimum and median.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh >/dev/null
bash scripts/build.sh >/dev/null
source scripts/wine-env.sh
export LANG=ru_RU.UTF-8 LC_NUMERIC=C

counts=()
runs=3
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    *) counts+=("$1"); shift ;;
  esac
done
[ ${#counts[@]} -gt 0 ] || counts=(2000 10000)

work=$root/build/bench
mkdir -p "$work"
base=$work/base
[ -f "$base/system.reg" ] || bash scripts/wineprefix.sh "$base" win10 no-wm
own_display
trap 'kill "$OWN_XVFB_PID" 2>/dev/null || true; "$WINESERVER" -k 2>/dev/null || true' EXIT

now() { date +%s.%N; }
# min and median of the numbers on standard input
stats() { sort -g | awk -v f="${1:-%.2f}" '{v[NR]=$1} END {printf f " / " f, v[1], v[int((NR+1)/2)]}'; }

table="| entries | start to \"Элементов: N\" (min / median, s) | uninstaller --list (s) | ratio of medians | peak memory (MB) | close (s) |
|---|---|---|---|---|---|"
for count in "${counts[@]}"; do
  export WINEPREFIX=$work/prefix-$count
  rm -rf "$WINEPREFIX"
  cp -a "$base" "$WINEPREFIX"
  python3 - "$count" "$work/entries-$count.reg" "$work/icons-$count.txt" <<'PY'
import random, sys
n, reg_path, icons_path = int(sys.argv[1]), sys.argv[2], sys.argv[3]
rng = random.Random(n)
machine = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
wow = r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
user = r"HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
def q(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
out, icons = ["Windows Registry Editor Version 5.00", ""], []
for i in range(n):
    r = rng.random()
    root, folder = (machine, r"C:\Program Files") if r < 0.60 else \
                   (wow, r"C:\Program Files (x86)") if r < 0.85 else \
                   (user, r"C:\users\Public\Apps")
    msi = rng.random() < 0.30
    guid = "{%08X-%04X-%04X-%04X-%012X}" % (i, i % 65536, 0x4000 + i % 4096, 0x8000 + i % 4096, i)
    out.append("[%s\\%s]" % (root, guid if msi else "Bench Program %05d" % i))
    out.append('"DisplayName"=' + q("Bench Program %05d" % i))
    out.append('"Publisher"=' + q("Publisher %d" % (i % 97)))
    out.append('"DisplayVersion"=' + q("%d.%d.%d" % (i % 9 + 1, i % 17, i)))
    home = "%s\\Bench %05d" % (folder, i)
    out.append('"InstallLocation"=' + q(home + "\\"))
    hidden = rng.random()
    if msi:
        out.append('"UninstallString"=' + q("MsiExec.exe /X" + guid))
        out.append('"WindowsInstaller"=dword:00000001')
    elif not 0.97 <= hidden:
        out.append('"UninstallString"=' + q('"%s\\unins000.exe" /SILENT' % home))
    if hidden < 0.04:
        out.append('"SystemComponent"=dword:00000001')
    elif hidden < 0.07:
        out.append('"ParentDisplayName"=' + q("Bench Program %05d" % (i - 1)))
    if rng.random() < 0.70:
        out.append('"DisplayIcon"=' + q(home + "\\app.exe,0"))
        icons.append(home + "\\app.exe")
    out.append("")
open(reg_path, "w", encoding="utf-8").write("\r\n".join(out))
open(icons_path, "w", encoding="utf-8").write("\n".join(icons) + "\n")
PY
  iconv -f UTF-8 -t UTF-16 "$work/entries-$count.reg" >"$work/entries-$count-utf16.reg"
  wide=$("$WINE" winepath -w "$work/entries-$count-utf16.reg" 2>/dev/null)
  "$WINE" reg import "$wide" /reg:64 >/dev/null 2>&1
  notepad=$WINEPREFIX/drive_c/windows/system32/notepad.exe
  while IFS= read -r icon; do
    unix="$WINEPREFIX/drive_c/$(echo "${icon#C:\\}" | tr '\\' '/')"
    mkdir -p "$(dirname "$unix")" && ln -f "$notepad" "$unix"
  done <"$work/icons-$count.txt"
  mkdir -p "$WINEPREFIX/drive_c/Corvandel"
  cp "$WINE_BUILD/Corvandel.exe" "$WINEPREFIX/drive_c/Corvandel/"
  "$WINESERVER" -w
  listed=$("$WINE" uninstaller --list 2>/dev/null | wc -l)

  : >"$work/ours" ; : >"$work/theirs"; : >"$work/memory"; : >"$work/close"
  for _ in $(seq "$runs"); do
    start=$(now)
    "$WINE" "$WINE_BUILD/corvandel_driver.exe" launch 'C:\Corvandel\Corvandel.exe' wait-window \
      wait-status 0 "Элементов:" 900000 >/dev/null
    end=$(now)
    echo "$end - $start" | bc -l >>"$work/ours"
    pid=$(pgrep -f 'Corvandel\\Corvandel.exe' | head -1 || true)
    awk '/VmHWM/ {printf "%.0f\n", $2 / 1024}' "/proc/$pid/status" >>"$work/memory" 2>/dev/null || true
    start=$(now)
    "$WINE" "$WINE_BUILD/corvandel_driver.exe" attach close wait-exit 60000 >/dev/null
    end=$(now)
    echo "$end - $start" | bc -l >>"$work/close"
    start=$(now)
    "$WINE" uninstaller --list >/dev/null 2>&1
    end=$(now)
    echo "$end - $start" | bc -l >>"$work/theirs"
  done
  ratio=$(paste <(sort -g "$work/ours") <(sort -g "$work/theirs") |
    awk '{a[NR]=$1; b[NR]=$2} END {m=int((NR+1)/2); printf "%.1f", a[m] / b[m]}')
  table+=$'\n'"| $count ($listed listed by Wine) | $(stats <"$work/ours") | $(stats <"$work/theirs") | $ratio | $(stats %d <"$work/memory") | $(stats <"$work/close") |"
  "$WINESERVER" -k 2>/dev/null || true
done
echo "$table"
echo
echo "Machine: $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GB, $(uname -m), Wine $("$WINE" --version), $WINE_TEST_ARCH build"
