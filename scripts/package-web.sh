#!/usr/bin/env bash
# Builds the page with Emscripten and packs it for users:
#   scripts/package-web.sh [BUILD_DIR]     (default build-package-web)
# makes dist/fernbow-<version>-web.zip beside the Windows zip: the page's
# folder fernbow-<version>-web/ (index.html, its scripts with the module
# inside, README.txt, LICENSE.txt), opened from disk in a Chromium-based
# browser. The version is CMake's project version.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-package-web}
bash "$root/scripts/build-web.sh" "$dir" -DBUILD_TESTING=OFF

version=$(sed -n 's/^project(Fernbow VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] || { echo "package-web.sh: no project version in CMakeLists.txt" >&2; exit 1; }
name=fernbow-$version-web

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/$name"
for file in index.html page.js port.js fernbow-engine.js; do
  [ -s "$dir/site/$file" ] || { echo "package-web.sh: $dir/site/$file was not built" >&2; exit 1; }
  cp "$dir/site/$file" "$stage/$name/"
done
# Read with Notepad as often as anywhere: CRLF line ends.
sed 's/$/\r/' "$root/docs/README-web.txt" >"$stage/$name/README.txt"
sed 's/$/\r/' "$root/LICENSE" >"$stage/$name/LICENSE.txt"

mkdir -p "$root/dist"
rm -f "$root/dist/$name.zip"
(cd "$stage" && zip -q -X -r "$root/dist/$name.zip" "$name")
echo "$root/dist/$name.zip"
