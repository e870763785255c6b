#!/usr/bin/env bash
# Builds the Debian package dist/fernbow_<version>_amd64.deb (release build,
# without the tests) in its own build folder: scripts/package.sh [BUILD_DIR]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$root/build-package}
bash "$root/scripts/build.sh" "$dir" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF
rm -rf "$dir/cpack"
(cd "$dir" && cpack -B "$dir/cpack" >/dev/null)
mkdir -p "$root/dist"
for deb in "$dir"/cpack/fernbow_*_amd64.deb; do
  cp "$deb" "$root/dist/"
  echo "dist/$(basename "$deb")"
done
