# Sourced by the scripts that run Windows programs. Chooses the Wine loader this machine
# can execute and the matching Windows build of the program.
#
# The shipped program is the 32-bit build. Wine runs it with its 32-bit loader, which needs
# a kernel that executes 32-bit code; where the kernel has that switched off (some virtual
# machines do), the Wine tiers run the 64-bit build of the same sources instead. A kernel
# that runs 32-bit code with a 32-bit loader that does not start is an error, not a reason
# to fall back: the shipped build would go untested.

CORVANDEL_ROOT=${CORVANDEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts in fresh prefixes.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# True when the kernel runs a 32-bit x86 program: a 93-byte static one that exits with 0.
kernel_runs_i386() {
  local probe
  probe=$(mktemp)
  printf '\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08\x5d\x00\x00\x00\x5d\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00\xb8\x01\x00\x00\x00\x31\xdb\xcd\x80' >"$probe"
  chmod +x "$probe"
  local status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  return $status
}

# Starts a virtual display of the calling script's own and exports DISPLAY, so that no two
# tests ever share windows; the caller ends it with kill "$OWN_XVFB_PID".
OWN_XVFB_PID=""
own_display() {
  local fifo number
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  OWN_XVFB_PID=$!
  read -r number <"$fifo"
  rm -f "$fifo"
  export DISPLAY=":$number"
}

# i686 when Wine's 32-bit loader starts here; the reason when it does not.
WINE_LOADER_NOTE=""
if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE_NATIVE_ARCH=i686
else
  WINE_NATIVE_ARCH=x86_64
  loader=$(/usr/lib/wine/wine --version 2>&1 | head -1 || true)
  wine32=$(dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' &&
    echo "installed" || echo "not installed")
  if kernel_runs_i386; then
    WINE_LOADER_NOTE="the kernel runs 32-bit code but Wine's 32-bit loader does not start (/usr/lib/wine/wine --version: ${loader:-no output}; wine32:i386 $wine32)"
  else
    WINE_LOADER_NOTE="this kernel cannot execute 32-bit code (/usr/lib/wine/wine --version: ${loader:-no output}; wine32:i386 $wine32): the Wine tiers run the 64-bit build only"
  fi
  unset loader wine32
fi
# CORVANDEL_WINE_ARCH=x86_64 runs the 64-bit build with the 64-bit loader on any machine (the
# tests of that build set it); otherwise the 32-bit build runs where its loader can.
WINE_TEST_ARCH=${CORVANDEL_WINE_ARCH:-$WINE_NATIVE_ARCH}
if [ "$WINE_TEST_ARCH" = i686 ]; then WINE=/usr/lib/wine/wine; else WINE=/usr/lib/wine/wine64; fi
WINESERVER=/usr/lib/wine/wineserver
if [ "$WINE_TEST_ARCH" = i686 ]; then WINE_BUILD=$CORVANDEL_ROOT/build/win32; else WINE_BUILD=$CORVANDEL_ROOT/build/win64; fi
export WINE WINESERVER WINE_TEST_ARCH WINE_BUILD WINE_NATIVE_ARCH WINE_LOADER_NOTE
