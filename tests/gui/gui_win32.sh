#!/usr/bin/env bash
# Drives the Windows fernbow.exe under Wine on one virtual X server, with a
# Wine prefix of its own and a simulated PIC16F88 (the native fernbow-sim)
# on a pseudo-terminal that the prefix maps to COM3. In turn:
#   1. first start, nothing stored: the missing-port box comes before the
#      window; the port is chosen in the list and the file with ". . .",
#      from a program started in another folder; Alt+W programs the board;
#   2. the port and the file are in Wine's registry, and a second start
#      programs again without any choice (the screenshot is taken here);
#   3. with a board that never answers, Escape during the run ends the
#      program with status 0.
# Every start must end with status 0.
#
#   gui_win32.sh FERNBOW_EXE FERNBOW_SIM WINE_RUN WINE_PREFIX_SETUP SCREENSHOT.png
#
# Exit status: 0 pass, 1 fail, 77 skip (no Wine, X server or xdotool here).
set -uo pipefail

# Absolute paths: the program is started from other folders.
fernbow=$(realpath "$1") sim=$(realpath "$2") wine_run=$(realpath "$3") wine_prefix_setup=$(realpath "$4")
screenshot=$(realpath "$5")
command -v wine64 >/dev/null || [ -x /usr/lib/wine/wine64 ] || { echo "SKIP: Wine is not installed"; exit 77; }
[ -x "$sim" ] || { echo "FAIL: no native fernbow-sim at $sim (build the native tree first)"; exit 1; }
source "$(dirname "$0")/gui_common.sh" srec_cat srec_cmp

export WINEPREFIX="$work/wineprefix" WINEDEBUG=-all
winfile() { echo "Z:${1//\//\\}"; }   # a Unix path as Wine's drive Z: shows it
stop_wine() { WINEPREFIX="$work/wineprefix" wineserver -k 2>/dev/null; cleanup; }
trap stop_wine EXIT

bash "$wine_prefix_setup" "$WINEPREFIX" >"$work/wineboot.log" 2>&1 || fail "no Wine prefix"
# Only the board is to be found. Wine maps COM3 to the link $work/com3,
# which each scenario points at its board's pseudo-terminal. It gives the
# machine's own serial devices the first free numbers, so the rest of
# COM1..COM19 are taken (empty) and those land on COM20 and above, which
# the dialog never lists.
{
  printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Wine\\Ports]\r\n'
  for n in $(seq 1 19); do [ "$n" -eq 3 ] || printf '"COM%d"=""\r\n' "$n"; done
  printf '"COM3"="%s"\r\n' "$work/com3"
} >"$work/ports.reg"
bash "$wine_run" "$WINEPREFIX" regedit /S "$(winfile "$work/ports.reg")" || fail "could not write Wine's ports"
wineserver -w
rm -f "$WINEPREFIX"/dosdevices/com*
settings='HKLM\Software\Corvane\Fernbow\Settings'

# Starts the simulated board (extra options in "$@") and maps COM3 to it.
start_board_on_com3() {
  : >"$work/sim.out"
  "$sim" --instant --chip 88 "$@" >"$work/sim.out" 2>"$work/sim.log" &
  sim_pid=$!
  pids+=($sim_pid)
  wait_for 20 test -s "$work/sim.out" || fail "the simulator named no device"
  ln -sfn "$(head -n 1 "$work/sim.out")" "$work/com3"
}

# Starts fernbow.exe in folder $1; sets $fernbow_pid.
start_fernbow() {
  (cd "$1" && exec bash "$wine_run" "$WINEPREFIX" "$fernbow") >>"$work/fernbow.log" 2>&1 &
  fernbow_pid=$!
  pids+=($fernbow_pid)
}

# The setting $1 as Wine's registry holds it, in hex.
setting() {
  bash "$wine_run" "$WINEPREFIX" reg query "$settings\\$1" 2>/dev/null | tr -d '\r' |
    awk '$2 == "REG_BINARY" { print tolower($3) }'
}
setting_is() { [ "$(setting "$1")" = "$2" ]; }

expect_board_programmed() {
  wait_for 90 gone "$sim_pid" || fail "no programming session reached the board"
  wait "$sim_pid" || fail "the simulator ended with an error"
  check_flash "$work/flash.hex" "$work/prog.hex"
  rm -f "$work/flash.hex"
}

# --- 1. first start: box, port and file chosen, Alt+W --------------------
mkdir -p "$work/fichiers-é" "$work/elsewhere"
cp "$work/prog.hex" "$work/fichiers-é/PROG.HEX"
start_board_on_com3 --exit-after 1 --dump "$work/flash.hex"
start_fernbow "$work/elsewhere"

wait_for 60 find_window fernbow || fail "no box titled 'fernbow'"
box=$window
find_window "$caption" && fail "the main window is shown before the box is closed"
press "$box" Return
wait_for 30 find_window "$caption" || fail "no main window after the box"
main=$window

# Path field, ". . .", then the port list: Down picks its only item, COM3.
press "$main" Tab
sleep 0.3
xdotool key Tab
sleep 0.3
xdotool key Down
wait_for 20 setting_is ComNr 03000000 || fail "choosing COM3 did not store it"

click_control "$main" 235 5 15 15   # ". . ."
wait_for 30 find_window Open || fail "no file dialog"
chooser=$window
xdotool windowfocus "$chooser" 2>/dev/null
sleep 0.3
xdotool type --delay 20 "$(winfile "$work/fichiers-é/PROG.HEX")"
xdotool key Return
wait_for 30 gone_window "$chooser" || fail "the file dialog did not close"
# The registry keeps the path in the ANSI code page (1252 for Wine's default
# English), as the program's earlier versions wrote it.
path_hex=$(printf '%s' "$(winfile "$work/fichiers-é/PROG.HEX")" | iconv -f UTF-8 -t CP1252 |
  od -An -tx1 | tr -d ' \n')00
wait_for 20 setting_is FileName "$path_hex" || fail "the chosen file's path was not remembered"

press "$main" alt+w
expect_board_programmed
expect_key_ends_program "$main" Escape "Escape did not end the program"

# --- 2. a second start programs again without any choice -----------------
start_board_on_com3 --exit-after 1 --dump "$work/flash.hex"
start_fernbow "$work"
wait_for 60 find_window "$caption" || fail "no window at the second start (a box in front of it?)"
press "$window" alt+w
expect_board_programmed
sleep 1  # let the status line settle
import -window "$window" "$screenshot" 2>"$work/import.log" || echo "note: no screenshot taken"
expect_key_ends_program "$window" Escape "Escape did not end the second start"

# --- 3. Escape during a run that waits for ever --------------------------
start_board_on_com3 --ignore-wakeups 1000000000 --log "$work/wire.txt"
start_fernbow "$work"
wait_for 60 find_window "$caption" || fail "no window at the third start"
expect_escape_ends_waiting_run "$window"

echo "PASS: box first, choices remembered in the registry, two runs programmed, Escape ends a run"
exit 0
