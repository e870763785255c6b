#!/usr/bin/env bash
# Creates the Wine prefix PREFIX and waits until Wine has written it out:
# scripts/wine-prefix.sh PREFIX
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$1
mkdir -p "$prefix"
"$here/wine-run.sh" "$prefix" wineboot --init
WINEPREFIX=$prefix wineserver -w
test -f "$prefix/system.reg"
