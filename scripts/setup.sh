#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages only.
# Safe to run again: it installs only what is missing.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

packages=(cmake g++ make googletest g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
          wine wine64 xvfb xauth x11-utils imagemagick clang-format locales bc python3
          openssl nsis libz-mingw-w64-dev)
# Wine's 32-bit loader runs the shipped build; it is wanted wherever the kernel can run it.
kernel_runs_i386 && packages+=(wine32:i386)
for p in "${packages[@]}"; do have "$p" || need+=("$p"); done

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
if [ ${#need[@]} -gt 0 ]; then
  if [[ " ${need[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  export DEBIAN_FRONTEND=noninteractive
  # A mirror in the middle of a sync can fail one index while every package is still to be
  # had: retry the update a few times, and let the install itself decide.
  for attempt in 1 2 3; do
    $SUDO apt-get update -q && break
    echo "setup.sh: apt-get update failed (attempt $attempt); retrying" >&2
    sleep $((attempt * 5))
  done
  install=(apt-get install -y -q --no-install-recommends)
  if ! $SUDO "${install[@]}" "${need[@]}"; then
    # With the security index of one architecture missing, the two architectures see
    # different versions of the same library and the 32-bit packages cannot be installed
    # beside the 64-bit ones. The release's own versions exist for both.
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    echo "setup.sh: install failed; trying again with the versions of the $release release" >&2
    $SUDO "${install[@]}" -t "$release" "${need[@]}"
  fi
fi

# The Wine programs take their code page and date format from the Unix locale; the
# tests run them under a Russian one.
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
