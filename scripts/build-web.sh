#!/usr/bin/env bash
# Builds the page (web/) with Emscripten: scripts/build-web.sh DIR [cmake
# options...]. DIR/site is the page as shipped; ctest in DIR runs the
# browser tests when -DFERNBOW_HOST_BUILD names a Linux build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
# Debian's Emscripten runs its JavaScript tools with the node on PATH, which
# must find Debian's node modules (acorn) even when it is not Debian's node.
export NODE_PATH=/usr/share/nodejs${NODE_PATH:+:$NODE_PATH}
mkdir -p "$dir"
emcmake cmake -S "$root/web" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=MinSizeRel "$@" >"$dir/configure.log" 2>&1 ||
  { echo "configure of $dir failed; the end of $dir/configure.log:"; tail -n 40 "$dir/configure.log"; exit 1; }
cmake --build "$dir" -j 2
