#!/usr/bin/env bash
# Builds the release packages and signs them:
#   release.sh [--build DIR] [--out DIR] [--key PRIVATE_KEY_PEM]
# Without --build it builds the 32-bit program with the committed release key into
# build/release-win32; with it, it packages that existing build (the tests package theirs).
# The private key comes from --key or from the file that CORVANDEL_SIGNING_KEY names; it
# never belongs in the repository. The output folder is laid out as the update server's
# "/download/" folder:
#   OUT/Corvandel/version.txt                    the program's file version
#   OUT/Corvandel/Corvandel-setup.exe (+ .sig)    the installer
#   OUT/Corvandel/Corvandel.zip (+ .sig)          the portable copy
#   OUT/Corvandel/release.txt (+ .sig)            the version and each package's SHA-256
# Each .sig is an ECDSA P-256 signature over the SHA-256 of its file, in DER. The program
# decides on the signed release file; the packages' own signatures serve the copies released
# before it, which check those.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=""
out=$root/build/release/download
key=${CORVANDEL_SIGNING_KEY:-}
while [ $# -gt 0 ]; do
  case $1 in
    --build) build=$(cd "$2" && pwd); shift 2 ;;
    --out) out=$2; shift 2 ;;
    --key) key=$2; shift 2 ;;
    *) echo "usage: release.sh [--build DIR] [--out DIR] [--key PRIVATE_KEY_PEM]" >&2; exit 2 ;;
  esac
done
fail() { echo "release.sh: $*" >&2; exit 1; }
[ -n "$key" ] || fail "no signing key: give --key FILE or set CORVANDEL_SIGNING_KEY"
[ -r "$key" ] || fail "cannot read the signing key $key"
command -v makensis >/dev/null || fail "makensis is missing (scripts/setup.sh installs it)"

if [ -z "$build" ]; then
  build=$root/build/release-win32
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCORVANDEL_WINE_TESTS=OFF \
    -DCORVANDEL_UPDATE_KEY="$root/update/release_key.pub.pem" >/dev/null
  cmake --build "$build" -j"$(nproc)" --target Corvandel corvandel_console corvandel_languages
fi
exe=$build/Corvandel.exe
[ -f "$exe" ] && [ -f "$build/Corvandel.com" ] && [ -d "$build/Language" ] ||
  fail "$build holds no built program"

# A package signed with a key the program does not trust could never be applied.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl pkey -in "$key" -pubout -out "$work/signing.pub.pem" 2>/dev/null ||
  fail "$key is not a private key"
openssl pkey -pubin -in "$build/update_key.pub.pem" -out "$work/trusted.pub.pem"
cmp -s "$work/signing.pub.pem" "$work/trusted.pub.pem" ||
  fail "$key is not the key that $exe trusts ($build/update_key.pub.pem)"

version=$(python3 "$root/scripts/pe_version.py" read "$exe")
stage=$work/stage
mkdir -p "$stage/Language"
cp "$exe" "$stage/Corvandel.exe"
cp "$build/Corvandel.com" "$stage/Corvandel.com"
cp "$build"/Language/*.ini "$stage/Language/"
: >"$stage/portable.ini"

# What the installer puts in place, and what its uninstaller takes away again: exactly
# those files, so that a language file of the user's own stays.
{
  echo "SetOutPath \"\$INSTDIR\""
  echo "File \"$stage/Corvandel.exe\""
  echo "File \"$stage/Corvandel.com\""
  echo "SetOutPath \"\$INSTDIR\\Language\""
  for f in "$stage"/Language/*.ini; do echo "File \"$f\""; done
  echo "SetOutPath \"\$INSTDIR\""
} >"$work/files.nsh"
{
  echo "Delete \"\$INSTDIR\\Corvandel.exe\""
  echo "Delete \"\$INSTDIR\\Corvandel.com\""
  for f in "$stage"/Language/*.ini; do echo "Delete \"\$INSTDIR\\Language\\$(basename "$f")\""; done
  echo "RMDir \"\$INSTDIR\\Language\""
} >"$work/unfiles.nsh"

dest=$out/Corvandel
mkdir -p "$dest"
rm -f "$dest"/version.txt "$dest"/release.txt* "$dest"/Corvandel-setup.exe* "$dest"/Corvandel.zip*
makensis -V2 -DVERSION="$version" -DFILES="$work/files.nsh" -DUNFILES="$work/unfiles.nsh" \
  -DICON="$root/app/corvandel.ico" -DOUTFILE="$dest/Corvandel-setup.exe" \
  "$root/release/Corvandel.nsi"

# The archive: paths relative to the program's folder, each folder as an entry of its own
# ahead of its files, since the update script creates folders only from such entries.
python3 - "$stage" "$dest/Corvandel.zip" <<'EOF'
import os, sys, zipfile
stage, target = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as archive:
    for name in ('Corvandel.exe', 'Corvandel.com', 'portable.ini'):
        archive.write(os.path.join(stage, name), name)
    archive.write(os.path.join(stage, 'Language'), 'Language/')
    for name in sorted(os.listdir(os.path.join(stage, 'Language'))):
        archive.write(os.path.join(stage, 'Language', name), 'Language/' + name)
EOF

printf '%s\r\n' "$version" >"$dest/version.txt"
{
  printf 'Corvandel release\r\nversion=%s\r\n' "$version"
  for package in Corvandel-setup.exe Corvandel.zip; do
    printf 'sha256 %s=%s\r\n' "$package" "$(sha256sum "$dest/$package" | cut -d' ' -f1)"
  done
} >"$dest/release.txt"
for package in "$dest/Corvandel-setup.exe" "$dest/Corvandel.zip" "$dest/release.txt"; do
  openssl dgst -sha256 -sign "$key" -out "$package.sig" "$package"
  openssl dgst -sha256 -verify "$work/trusted.pub.pem" -signature "$package.sig" "$package" \
    >/dev/null || fail "the signature of $package does not verify"
done
echo "Corvandel $version: $dest"
