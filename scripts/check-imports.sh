#!/usr/bin/env bash
# Fails when a Windows program imports a DLL that a bare Windows 10/11 does
# not have: scripts/check-imports.sh program.exe
set -euo pipefail
dlls=$(x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print $3}')
echo "$1 imports:" $dlls
[ -n "$dlls" ] || { echo "no imports found"; exit 1; }
foreign=$(grep -viE '^(kernel32|advapi32|shell32|user32|gdi32|comctl32|comdlg32|msvcrt|ucrtbase|ole32|ws2_32)\.dll$' <<<"$dlls" || true)
if [ -n "$foreign" ]; then
  echo "not a system DLL:" $foreign
  exit 1
fi
