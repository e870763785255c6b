#!/usr/bin/env bash
# Configures and builds one build tree:
#   scripts/build.sh DIR [cmake options...] [-- build options, e.g. --target X Y]
# The configure step's chatter goes to DIR/configure.log; when it fails, its
# last lines are shown.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1; shift
configure=()
while (($#)) && [ "$1" != -- ]; do configure+=("$1"); shift; done
(($#)) && shift
mkdir -p "$dir"
if ! cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${configure[@]}" >"$dir/configure.log" 2>&1; then
  echo "configure of $dir failed; the end of $dir/configure.log:"
  tail -n 40 "$dir/configure.log"
  exit 1
fi
cmake --build "$dir" -j "$(nproc)" "$@"
