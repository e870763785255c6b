#!/usr/bin/env bash
# Regenerates the icon files of IDI_FLASH in this folder: flash32.xpm and
# flash16.xpm (drawn by make_icon.py, embedded by the wx view), the same as
# PNG, and flash.ico (both sizes, 16 colours) for the Win32 resources.
set -euo pipefail
cd "$(dirname "$0")"
python3 make_icon.py .
for s in 32 16; do
  convert "flash$s.xpm" -strip "PNG8:flash$s.png"
done
convert flash32.xpm flash16.xpm -colors 16 flash.ico
