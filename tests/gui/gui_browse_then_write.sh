#!/usr/bin/env bash
# A file chosen with ". . ." is what "&Write Flash" programs, even though the
# program runs elsewhere and only the file's bare name is kept for the run:
# the stored path is a file that does not exist, the file is chosen in
# upper case (PROG.HEX), its full path must be remembered, and the board
# must end up holding it. Then a path typed into the field is written
# instead, and remembered.
#
#   gui_browse_then_write.sh FERNBOW FERNBOW_SIM SETTINGS_WRITER
set -uo pipefail

fernbow=$1 sim=$2 settings_writer=$3
source "$(dirname "$0")/gui_common.sh" srec_cat srec_cmp

mkdir -p "$work/files" "$work/elsewhere"
cp "$work/prog.hex" "$work/files/PROG.HEX"

start_board_as_com3
"$settings_writer" --int ComNr 3 --string FileName "$work/missing.hex" || fail "could not store the settings"

(cd "$work/elsewhere" && exec "$fernbow") >"$work/fernbow.log" 2>&1 &
fernbow_pid=$!
pids+=($fernbow_pid)
wait_for 60 find_window "$caption" || fail "no window captioned '$caption'"
main=$window

click_control "$main" 235 5 15 15   # ". . ."
wait_for 30 find_window "Select a file|Open" || fail "no file dialog"
chooser=$window
press "$chooser" ctrl+l
xdotool type --delay 20 "$work/files/PROG.HEX"
sleep 0.5
xdotool key Return
wait_for 30 gone_window "$chooser" || fail "the file dialog did not close"

wait_for 10 "$settings_writer" --expect-string FileName "$work/files/PROG.HEX" 2>/dev/null ||
  fail "the chosen file's path was not remembered"

press "$main" alt+w
wait_for 90 gone "$sim_pid" || fail "no programming session reached the board"
wait "$sim_pid" || fail "the simulator ended with an error"
check_flash "$work/flash.hex" "$work/prog.hex"

# A path typed into the field then replaces the chosen file: what the field
# shows is what is written, and it is remembered. typed.hex has a block
# that PROG.HEX lacks.
srec_cat "$work/prog.hex" -intel -crop 0 0x40 "$work/prog.hex" -intel -crop 0x200 0x210 -offset 0x100 \
  -o "$work/files/typed.hex" -intel -address-length=2 || fail "srec_cat could not make typed.hex"
start_board_as_com3
xdotool windowfocus "$main" 2>/dev/null
click_control "$main" 5 5 225 15   # the path field
sleep 0.3
xdotool key --clearmodifiers ctrl+a
xdotool type --delay 20 "$work/files/typed.hex"
press "$main" alt+w
wait_for 90 gone "$sim_pid" || fail "no programming session for the typed path reached the board"
wait "$sim_pid" || fail "the simulator ended with an error"
check_flash "$work/flash.hex" "$work/files/typed.hex"
"$settings_writer" --expect-string FileName "$work/files/typed.hex" 2>/dev/null ||
  fail "the typed path was not remembered"

press "$main" Escape
wait_for 30 gone "$fernbow_pid" || fail "Escape did not end the program"
echo "PASS: the chosen file, then a typed path, was remembered and programmed"
exit 0
