#!/usr/bin/env bash
# Drives the real fernbow window on a virtual X server: a simulated PIC16F88
# is registered as COM3, the settings remember COM3 and a HEX file, Alt+W
# presses "&Write Flash", and the board's flash must then hold the file.
# Afterwards Escape must end the program with status 0.
#
#   gui_write_flash.sh FERNBOW FERNBOW_SIM SETTINGS_WRITER SCREENSHOT.png
#
# Exit status: 0 pass, 1 fail, 77 skip (no X server or xdotool here).
set -uo pipefail

fernbow=$1 sim=$2 settings_writer=$3 screenshot=$4
source "$(dirname "$0")/gui_common.sh" srec_cat srec_cmp

start_board_as_com3

"$settings_writer" --int ComNr 3 --string FileName "$work/prog.hex" || fail "could not store the settings"

# --- the program ----------------------------------------------------------
"$fernbow" >"$work/fernbow.log" 2>&1 &
fernbow_pid=$!
pids+=($fernbow_pid)

if ! wait_for 60 find_window "$caption"; then
  # A box in front of the window (port not found) would hold it back.
  fail "no window captioned '$caption'"
fi
press "$window" alt+w

# The board ends its session once the line has been quiet for a second
# after the last block, and writes its flash out as it stops.
wait_for 90 gone "$sim_pid" || fail "no programming session reached the board"
wait "$sim_pid" || fail "the simulator ended with an error"
[ -s "$work/flash.hex" ] || fail "the simulator wrote no flash dump"

# Let the status line settle, then keep a picture of the window.
sleep 1
if command -v import >/dev/null; then
  import -window "$window" "$screenshot" 2>"$work/import.log" ||
    echo "note: no screenshot taken"
fi

check_flash "$work/flash.hex" "$work/prog.hex"

# --- Escape ends the idle dialog, and the program with it -----------------
expect_key_ends_program "$window" Escape "Escape did not end the program"

echo "PASS: the window programmed the board and closed on Escape"
exit 0
