#!/usr/bin/env bash
# The main window at 150%: with the display at 144 DPI every control is laid out 1.5 times as
# large as at 96 DPI, text included, and no control overlaps another.
source "$(dirname "$0")/lib.sh"
EXE="$APP_DIR_WIN\\Corvandel.exe"
shots=$E2E_WORK/screenshots
mkdir -p "$shots"
CONTROLS=(SpeedButton_GeneralMenu ButtonUninstall ButtonBackupsUninstall ListViewUninstall
  MemoLogUninstall EditSearchUninstall StatusBarUninstall)

# layout DPI: the controls' rectangles and the list's row height, with the console shown and
# the client area 800 x 560 design pixels large.
layout() {
  local args=() name
  for name in "${CONTROLS[@]}"; do args+=(rect "$name"); done
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f /reg:64 >/dev/null
  "$WINE" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f /reg:64 >/dev/null
  "$WINESERVER" -w
  # Each run starts from the defaults: no settings of the run before.
  rm -f "$APP_DIR/Config/Option.ini"
  e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command ViewLogMenu \
    client-size $((800 * $1 / 96)) $((560 * $1 / 96)) sleep 300 "${args[@]}" row-height ListViewUninstall \
    touch 'C:\layout-ready' sleep 3000 close wait-exit >"$E2E_WORK/layout-$1" &
  local driver=$!
  for _ in $(seq 150); do [ -e "$WINEPREFIX/drive_c/layout-ready" ] && break; sleep 0.2; done
  import -window root "$shots/main-window-$1dpi.png"
  wait "$driver" || true
  rm -f "$WINEPREFIX/drive_c/layout-ready"
  grep -E '^(rect|row-height)' "$E2E_WORK/layout-$1"
}

e2e_prefix
e2e_seed "$E2E_DIR/seed/window.reg"
: >"$APP_DIR/portable.ini"
normal=$(layout 96)
large=$(layout 144)
paste <(echo "$normal") <(echo "$large")

# Every number of the 144-DPI layout is 1.5 times the 96-DPI one, within two pixels.
scaled=$(paste <(tr '\t' ' ' <<<"$normal") <(tr '\t' ' ' <<<"$large") | awk '
  { n = split($0, f, " "); half = n / 2
    for (i = 1; i <= half; i++) if (f[i] ~ /^-?[0-9]+$/) {
      d = f[i + half] - 1.5 * f[i]; if (d < -2 || d > 2) print f[1], f[2], "field " i ": " f[i] " -> " f[i + half] } }')
e2e_check "the layout at 144 DPI is the 96-DPI layout times 1.5" "" "$scaled"
e2e_check "the list rows 1.5 times as high (the text with them)" "ok" \
  "$(awk -F'\t' '/^row-height/{h[++n]=$2} END{r=h[2]/h[1]; print (r>1.35&&r<1.65)?"ok":"ratio " r}' \
    <<<"$(grep row-height <<<"$normal")"$'\n'"$(grep row-height <<<"$large")")"

# No two visible controls overlap.
overlaps=$(grep '^rect' <<<"$large" | awk -F'\t' '$7=="visible"{n++; x[n]=$3; y[n]=$4; w[n]=$5; h[n]=$6; c[n]=$2}
  END { for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++)
    if (x[i] < x[j] + w[j] && x[j] < x[i] + w[i] && y[i] < y[j] + h[j] && y[j] < y[i] + h[i])
      print c[i] " overlaps " c[j] }')
e2e_check "no control overlaps another at 144 DPI" "" "$overlaps"
e2e_finish
