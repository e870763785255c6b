#!/usr/bin/env bash
# With a remembered port that cannot exist (COM25 is never listed), the box
# "Last selected comport not available! ..." comes first, titled with the
# program's name, and the main window appears only once it is closed. Enter
# in the path field then ends the program with status 0.
#
#   gui_missing_port.sh FERNBOW SETTINGS_WRITER
set -uo pipefail

fernbow=$1 settings_writer=$2
source "$(dirname "$0")/gui_common.sh"

"$settings_writer" --int ComNr 25 --string FileName "$work/prog.hex" || fail "could not store the settings"

"$fernbow" >"$work/fernbow.log" 2>&1 &
fernbow_pid=$!
pids+=($fernbow_pid)

# The box is titled with the executable's name without folder or extension.
app_name=$(basename "$fernbow")
app_name=${app_name%.*}
wait_for 60 find_window "$app_name" || fail "no box titled '$app_name'"
box=$window
find_window "$caption" && fail "the main window is shown before the box is closed"

press "$box" Return
wait_for 30 find_window "$caption" || fail "no main window after the box"

expect_key_ends_program "$window" Return "Enter in the path field did not end the program"

echo "PASS: box before the window, Enter ends the program"
exit 0
