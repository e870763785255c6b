#!/usr/bin/env bash
# Runs a Windows program under Wine in the prefix PREFIX (created on first
# use): scripts/wine-run.sh PREFIX program.exe [arguments...]. Wine's own
# chatter is switched off so that the program's output is all there is.
set -euo pipefail
export WINEPREFIX=$1; shift
export WINEDEBUG=-all
# No Mono or Gecko installers when the prefix is created.
export WINEDLLOVERRIDES="mscoree,mshtml="
# The 64-bit loader directly: the wine wrapper warns about a missing 32-bit
# Wine on every start.
for wine in /usr/lib/wine/wine64 wine64 wine; do
  if command -v "$wine" >/dev/null 2>&1; then
    exec "$wine" "$@"
  fi
done
echo "wine-run.sh: Wine is not installed" >&2
exit 127
