#!/usr/bin/env bash
# Speed and memory with uninstall entries as real machines have them, next to Wine's own
# uninstaller over the same prefix: bench.sh [COUNT...] (default: 2000 10000) [--runs N]
#
# Per count, a fresh prefix gets COUNT entries: 60% in the 64-bit view, 25% under
# WOW6432Node, 15% per-user; about 10% hidden (system components, child entries, entries
# without an uninstall command); about 30% installer-database keys; and for 70% of the
# entries a DisplayIcon file that exists on disk, each a picture of its own, as on real
# machines (small generated icon files, so the prefix stays small). Each figure is taken N times (default 3): minimum and median. Peak
# memory is the program's VmHWM once every icon is in place, and again after ten refreshes.
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

table="| entries | start to \"Элементов: N\" (s) | uninstaller --list (s) | ratio of medians | all icons in place after the list (s) | window's worst answer while icons load (ms) | peak memory (MB) | peak after 10 refreshes (MB) | search keystroke, median / worst (ms) | the same while icons load (ms) | close (s) | close in the middle of the scan (s) |
|---|---|---|---|---|---|---|---|---|---|---|---|"
phases=""
json_table="| entries | objects in \`/list /format=json\` | start to end of the process (s) |
|---|---|---|"
for count in "${counts[@]}"; do
  export WINEPREFIX=$work/prefix-$count
  rm -rf "$WINEPREFIX"
  cp -a "$base" "$WINEPREFIX"
  python3 - "$count" "$work/entries-$count.reg" "$WINEPREFIX/drive_c" <<'PY'
import os, random, struct, sys
n, reg_path, drive_c = int(sys.argv[1]), sys.argv[2], sys.argv[3]

def icon_file(seed):
    # A 16 and a 32 pixel image of 32-bit colour: a colour and a stripe of its own.
    pick = random.Random(seed)
    colour = bytes([pick.randrange(256), pick.randrange(256), pick.randrange(256), 255])
    stripe = pick.randrange(16)
    images = []
    for size in (16, 32):
        pixels = b"".join(
            (b"\xff\xff\xff\xff" if (x + y) % 16 == stripe else colour)
            for y in range(size) for x in range(size))
        mask = bytes(((size + 31) // 32) * 4 * size)
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                             len(pixels) + len(mask), 0, 0, 0, 0)
        images.append((size, header + pixels + mask))
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, data in images:
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, data in images)

rng = random.Random(n)
machine = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
wow = r"HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\Microsoft\Windows\CurrentVersion\Uninstall"
user = r"HKEY_CURRENT_USER\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall"
def q(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
out = ["Windows Registry Editor Version 5.00", ""]
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
        out.append('"DisplayIcon"=' + q(home + "\\app.ico,0"))
        unix = os.path.join(drive_c, home[3:].replace("\\", "/"))
        os.makedirs(unix, exist_ok=True)
        with open(os.path.join(unix, "app.ico"), "wb") as f:
            f.write(icon_file(i))
    out.append("")
open(reg_path, "w", encoding="utf-8").write("\r\n".join(out))
PY
  iconv -f UTF-8 -t UTF-16 "$work/entries-$count.reg" >"$work/entries-$count-utf16.reg"
  wide=$("$WINE" winepath -w "$work/entries-$count-utf16.reg" 2>/dev/null)
  "$WINE" reg import "$wide" /reg:64 >/dev/null 2>&1
  mkdir -p "$WINEPREFIX/drive_c/Corvandel"
  cp "$WINE_BUILD/Corvandel.exe" "$WINEPREFIX/drive_c/Corvandel/"
  "$WINESERVER" -w
  listed=$("$WINE" uninstaller --list 2>/dev/null | wc -l)

  phases+=$'\n'"Phases at $count entries (corvandel_profile.exe, one thread, no window):"$'\n'
  phases+=$("$WINE" "$WINE_BUILD/corvandel_profile.exe" 2>/dev/null)$'\n'

  driver() { "$WINE" "$WINE_BUILD/corvandel_driver.exe" "$@" 2>/dev/null; }
  program_pid() { pgrep -f 'Corvandel\\Corvandel.exe' | head -1 || true; }
  peak() { awk '/VmHWM/ {printf "%.0f\n", $2 / 1024}' "/proc/$(program_pid)/status" 2>/dev/null || true; }
  for file in ours theirs icons latency memory refreshed keys loadingkeys close midscan json; do : >"$work/$file"; done
  for run in $(seq "$runs"); do
    # Timed by the driver, from the start of the copy, so that the driver's own start is
    # not counted.
    driver launch 'C:\Corvandel\Corvandel.exe' wait-window wait-status 0 "Элементов:" 900000 \
      elapsed mark wait-status-not 1 "Загрузка данных" 900000 elapsed >"$work/start-run"
    awk '$1 == "elapsed" {print $2 / 1000}' "$work/start-run" | sed -n 1p >>"$work/ours"
    awk '$1 == "elapsed" {print $2 / 1000}' "$work/start-run" | sed -n 2p >>"$work/icons"
    peak >>"$work/memory"
    # Keystrokes in the search box, each timed until the list is drawn again.
    driver attach type-timed EditSearchUninstall "program 01" set-text EditSearchUninstall "" |
      awk '$1 == "key" {print $2}' >>"$work/keys"
    if [ "$run" = 1 ]; then
      for _ in $(seq 10); do
        driver attach command RefreshListMenu wait-status-not 0 "Элементов:" 900000 \
          wait-status 0 "Элементов:" 900000 wait-status-not 1 "Загрузка данных" 900000 >/dev/null
      done
      peak >>"$work/refreshed"
    fi
    driver attach mark close wait-exit 60000 elapsed | awk '$1 == "elapsed" {print $2 / 1000}' \
      >>"$work/close"

    # A close request when about half the rows are in the list.
    driver launch 'C:\Corvandel\Corvandel.exe' wait-window \
      wait-rows-over ListViewUninstall $((listed / 2)) 900000 mark close wait-exit 60000 elapsed |
      awk '$1 == "elapsed" {print $2 / 1000}' >>"$work/midscan"

    # How soon the window answers while the icons load (their first three seconds), from
    # the driver that started it: a second tool starting up meanwhile would take the cores.
    # Keystrokes while they load are timed there too.
    driver launch 'C:\Corvandel\Corvandel.exe' wait-window wait-status 0 "Элементов:" 900000 \
      type-timed EditSearchUninstall "program 01" set-text EditSearchUninstall "" \
      latency 3000 close wait-exit 60000 >"$work/loading-run"
    awk '$1 == "latency" {print $3}' "$work/loading-run" >>"$work/latency"
    awk '$1 == "key" {print $2}' "$work/loading-run" >>"$work/loadingkeys"

    start=$(now)
    "$WINE" uninstaller --list >/dev/null 2>&1
    end=$(now)
    echo "$end - $start" | bc -l >>"$work/theirs"

    # The command line's list, from start to the end of the process, read back as JSON.
    start=$(now)
    "$WINE" 'C:\Corvandel\Corvandel.exe' /list /format=json >"$work/list.json" 2>/dev/null
    end=$(now)
    echo "$end - $start" | bc -l >>"$work/json"
  done
  objects=$(python3 -c 'import json, sys; print(len(json.load(open(sys.argv[1], encoding="utf-8"))))' "$work/list.json")
  json_table+=$'\n'"| $count | $objects | $(stats <"$work/json") |"
  ratio=$(paste <(sort -g "$work/ours") <(sort -g "$work/theirs") |
    awk '{a[NR]=$1; b[NR]=$2} END {m=int((NR+1)/2); printf "%.1f", a[m] / b[m]}')
  median_worst() { sort -g "$1" | awk '{v[NR]=$1} END {printf "%.0f / %.0f", v[int((NR+1)/2)], v[NR]}'; }
  keys=$(median_worst "$work/keys")
  loadingkeys=$(median_worst "$work/loadingkeys")
  table+=$'\n'"| $count ($listed listed by Wine) | $(stats <"$work/ours") | $(stats <"$work/theirs") | $ratio | $(stats <"$work/icons") | $(stats %.0f <"$work/latency") | $(stats %d <"$work/memory") | $(stats %d <"$work/refreshed") | $keys | $loadingkeys | $(stats <"$work/close") | $(stats <"$work/midscan") |"
  "$WINESERVER" -k 2>/dev/null || true
done
echo "$table"
echo
echo "Each figure: minimum / median of $runs runs, but the refreshes (once)."
echo
echo "$json_table"
echo "$phases"
echo "| what | figure |"
echo "|---|---|"
"$WINE" "$WINE_BUILD/corvandel_translation_bench.exe" 2>/dev/null
echo
echo "Machine: $(nproc) cores, $(free -g | awk '/Mem:/ {print $2}') GB, $(uname -m), Wine $("$WINE" --version), $WINE_TEST_ARCH build"
