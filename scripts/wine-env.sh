# Sourced by the scripts that run Windows programs. Chooses the Wine loader this machine
# can execute and the matching Windows build of the program.
#
# The shipped program is the 32-bit build. Wine runs it with its 32-bit loader, which needs
# a kernel that executes 32-bit code; where the kernel has that switched off (some virtual
# machines do), the Wine tiers run the 64-bit build of the same sources instead.

CORVANDEL_ROOT=${CORVANDEL_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko download prompts in fresh prefixes.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  WINE=/usr/lib/wine/wine
  WINE_TEST_ARCH=i686
else
  WINE=/usr/lib/wine/wine64
  WINE_TEST_ARCH=x86_64
fi
WINESERVER=/usr/lib/wine/wineserver
if [ "$WINE_TEST_ARCH" = i686 ]; then WINE_BUILD=$CORVANDEL_ROOT/build/win32; else WINE_BUILD=$CORVANDEL_ROOT/build/win64; fi
export WINE WINESERVER WINE_TEST_ARCH WINE_BUILD
