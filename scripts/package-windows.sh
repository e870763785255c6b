#!/usr/bin/env bash
# Cross-builds the Windows programs and packs them for users:
#   scripts/package-windows.sh [BUILD_DIR]     (default build-package-win)
# makes dist/fernbow-<version>-win64.zip holding fernbow.exe, fernbow-cli.exe
# (stripped), README.txt, LICENSE.txt and the bootloader firmware for a blank
# chip (firmware/*.hex, assembled by the build with gpasm). The version is
# CMake's project version.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-package-win}
bash "$root/scripts/build-windows.sh" "$dir" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
[ -n "$version" ] || { echo "package-windows.sh: no project version in $dir/CMakeCache.txt" >&2; exit 1; }
name=fernbow-$version-win64

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
for exe in app/win32/fernbow.exe cli/fernbow-cli.exe; do
  [ -f "$dir/$exe" ] || { echo "package-windows.sh: $dir/$exe was not built" >&2; exit 1; }
  x86_64-w64-mingw32-strip -o "$stage/$(basename "$exe")" "$dir/$exe"
done
mkdir "$stage/firmware"
for chip in 16f88 16f819; do
  hex=$dir/firmware/fernbow-boot-$chip.hex
  [ -f "$hex" ] || { echo "package-windows.sh: $hex was not built (is gputils installed?)" >&2; exit 1; }
  cp "$hex" "$stage/firmware/"
done
# Windows users read it with Notepad: CRLF line ends.
sed 's/$/\r/' "$root/docs/README-windows.txt" >"$stage/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/LICENSE.txt"

mkdir -p "$root/dist"
rm -f "$root/dist/$name.zip"
(cd "$stage" && zip -q -X "$root/dist/$name.zip" fernbow.exe fernbow-cli.exe README.txt LICENSE.txt firmware/*.hex)
echo "$root/dist/$name.zip"
