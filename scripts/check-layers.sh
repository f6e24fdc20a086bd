#!/usr/bin/env bash
# Checks that the folders use each other in one direction only, foundation at the bottom and
# the windows (app/) at the top, and that no portable file includes a Windows header.
# check-layers.sh [SOURCE_DIR]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

# The folders each folder may include from, besides itself.
declare -A allowed=(
  [foundation]=""
  [ui]="foundation"
  [inventory]="foundation"
  [removal]="foundation inventory ui"
  [queue]="foundation inventory ui appearance"
  [leftovers]="foundation inventory ui appearance removal"
  [appearance]="foundation ui"
  [update]="foundation ui about settings appearance"
  [about]="foundation ui appearance"
  [settings]="foundation ui about"
  [cmdline]="foundation ui inventory removal queue leftovers"
  [app]="foundation ui inventory removal queue leftovers about settings appearance update cmdline"
)
failures=0
for folder in "${!allowed[@]}"; do
  while IFS=: read -r file _ include; do
    target=$(sed -E 's/.*#include "([^/"]+)\/.*/\1/' <<<"$include")
    [ "$target" = "$folder" ] && continue
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "$file: $folder must not use $target: $include"
      failures=$((failures + 1))
    fi
  done < <(grep -Hn '#include "[a-z]*/' "$folder"/*.h "$folder"/*.cpp 2>/dev/null || true)
  # Portable files (all but *_win.*) are built natively too: no Windows headers there.
  while IFS= read -r line; do
    echo "$line: a portable file includes a Windows header"
    failures=$((failures + 1))
  done < <(ls "$folder"/*.h "$folder"/*.cpp 2>/dev/null | grep -v '_win\.' |
    xargs -r grep -Hn '#include <\(windows\|commctrl\|shellapi\|shlobj\)\.h>' || true)
done
if [ "$failures" -ne 0 ]; then
  echo "$failures layer violation(s)"
  exit 1
fi
echo "layers: every include runs downwards"
