#!/usr/bin/env bash
# Cross-builds the Windows programs and their tests with mingw-w64:
# scripts/build-windows.sh DIR [cmake options...]. The tests run under Wine
# (ctest in DIR), in a Wine prefix of their own inside DIR.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DFERNBOW_GUI=OFF "$@" >/dev/null
cmake --build "$dir" -j "$(nproc)"
