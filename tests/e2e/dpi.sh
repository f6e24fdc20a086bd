#!/usr/bin/env bash
# The windows at 150%: with the display at 144 DPI every control of the main, About and update
# windows is laid out 1.5 times as large as at 96 DPI, text included, and no control of the
# main window overlaps another. The About and update windows, told they moved to a 96-DPI
# monitor, take the size the system suggests and are laid out as at 96 DPI, text included.
source "$(dirname "$0")/lib.sh"
EXE="$APP_DIR_WIN\\Corvandel.exe"
shots=$E2E_WORK/screenshots
mkdir -p "$shots"
CONTROLS=(SpeedButton_GeneralMenu ButtonUninstall ButtonBackupsUninstall ListViewUninstall
  MemoLogUninstall EditSearchUninstall StatusBarUninstall)

# shots NAME...: a screenshot as the driver touches C:\NAME, for each name in turn.
shots() {
  local name
  for name in "$@"; do
    for _ in $(seq 150); do [ -e "$WINEPREFIX/drive_c/$name" ] && break; sleep 0.2; done
    import -window root "$shots/$name.png"
    rm -f "$WINEPREFIX/drive_c/$name"
  done
}

# layout DPI: the main window's controls' rectangles and the list's row height, with the
# console shown and the client area 800 x 560 design pixels large; then the About and the update
# window's layouts, and at 144 DPI each again after a move to a 96-DPI monitor.
layout() {
  local args=() name about=(about-$1dpi) update=(update-$1dpi)
  for name in "${CONTROLS[@]}"; do args+=(rect "$name"); done
  if [ "$1" = 144 ]; then
    about+=(dpi-changed about 144 96 dialog-layout about touch 'C:\about-144dpi-moved-to-96' sleep 1500)
    update+=(dpi-changed update 144 96 dialog-layout update touch 'C:\update-144dpi-moved-to-96' sleep 1500)
  fi
  "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f /reg:64 >/dev/null
  "$WINE" reg add 'HKCC\Software\Fonts' /v LogPixels /t REG_DWORD /d "$1" /f /reg:64 >/dev/null
  "$WINESERVER" -w
  # Each run starts from the defaults: no settings of the run before.
  rm -f "$APP_DIR/Config/Option.ini"
  e2e_driver launch "$EXE" wait-window wait-status 0 "Элементов:" command ViewLogMenu \
    client-size $((800 * $1 / 96)) $((560 * $1 / 96)) sleep 300 "${args[@]}" row-height ListViewUninstall \
    touch "C:\\main-window-$1dpi" sleep 1500 \
    command AboutMenu dialog-layout about touch "C:\\${about[0]}" sleep 1500 "${about[@]:1}" \
    about-close sleep 300 command CheckUpdateMenu wait-update-label "Не удалось" 30000 \
    dialog-layout update touch "C:\\${update[0]}" sleep 1500 "${update[@]:1}" \
    update-close sleep 300 close wait-exit >"$E2E_WORK/layout-$1" &
  local driver=$!
  shots "main-window-$1dpi" "${about[0]}" $([ "$1" = 144 ] && echo about-144dpi-moved-to-96) \
    "${update[0]}" $([ "$1" = 144 ] && echo update-144dpi-moved-to-96)
  wait "$driver" || true
  grep -E '^(rect|row-height|about|update)' "$E2E_WORK/layout-$1"
}

# dialog OUTPUT N: the N-th layout of the About window and the N-th of the update window.
dialog() {
  awk -F'\t' -v n="$2" '($1 == "about" || $1 == "update") && $2 == "client" { seen[$1]++ }
    ($1 == "about" || $1 == "update") && seen[$1] == n' <<<"$1"
}

# times RATIO NORMAL LARGE: the fields of LARGE that are not RATIO times those of NORMAL,
# within two pixels; the lines pair up in order.
times() {
  paste <(tr '\t' ' ' <<<"$2") <(tr '\t' ' ' <<<"$3") | awk -v r="$1" '
    { n = split($0, f, " "); half = n / 2
      for (i = 1; i <= half; i++) if (f[i] ~ /^-?[0-9]+$/) {
        d = f[i + half] - r * f[i]; if (d < -2 || d > 2) print f[1], f[2], f[3], "field " i ": " f[i] " -> " f[i + half] } }'
}

e2e_prefix
e2e_seed "$E2E_DIR/seed/window.reg"
: >"$APP_DIR/portable.ini"
normal=$(layout 96)
large=$(layout 144)
paste <(echo "$normal") <(echo "$large")

# Every number of the 144-DPI layout is 1.5 times the 96-DPI one, within two pixels.
main_window() { grep -E '^(rect|row-height)' <<<"$1"; }
e2e_check "the layout at 144 DPI is the 96-DPI layout times 1.5" "" \
  "$(times 1.5 "$(main_window "$normal")" "$(main_window "$large")")"
sizes() { dialog "$1" "$2" | grep -v needs; }
e2e_check "the About and update windows at 144 DPI are the 96-DPI ones times 1.5" "" \
  "$(times 1.5 "$(sizes "$normal" 1)" "$(sizes "$large" 1)")"
# A user reads every option and button in full: the text and box a control needs fit it.
e2e_check "the texts of the buttons and check boxes fit them at 96 and 144 DPI" "" \
  "$(grep -h needs <<<"$(dialog "$normal" 1)"$'\n'"$(dialog "$large" 1)" | awk -F'\t' '$4 > $6 || $5 > $7')"
# The buttons' needs show the fonts made anew. Wine draws a check box's box at the system's DPI,
# which a move told to the window does not change, so the check boxes' needs are left out.
moved() { dialog "$1" "$2" | grep -v $'needs\tCheckBox'; }
e2e_check "moved to a 96-DPI monitor, the About and update windows are as at 96 DPI" "" \
  "$(times 1 "$(moved "$normal" 1)" "$(moved "$large" 2)")"
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
