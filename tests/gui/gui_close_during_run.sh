#!/usr/bin/env bash
# Closing the window while a run waits for the board must end the program
# (status 0) instead of leaving it searching: the board here never answers,
# so the run would otherwise go on for ever.
#
#   gui_close_during_run.sh FERNBOW FERNBOW_SIM SETTINGS_WRITER
set -uo pipefail

fernbow=$1 sim=$2 settings_writer=$3
source "$(dirname "$0")/gui_common.sh"

"$sim" --com 3 --instant --chip 88 --ignore-wakeups 1000000000 --log "$work/wire.txt" \
  >"$work/sim.out" 2>"$work/sim.log" &
pids+=($!)
wait_for 20 test -L "$ports/COM3" || fail "the simulator did not appear as COM3"
"$settings_writer" --int ComNr 3 --string FileName "$work/prog.hex" || fail "could not store the settings"

"$fernbow" >"$work/fernbow.log" 2>&1 &
fernbow_pid=$!
pids+=($fernbow_pid)
wait_for 60 find_window "$caption" || fail "no window captioned '$caption'"

expect_escape_ends_waiting_run "$window"

echo "PASS: closing the window ended the waiting run and the program"
exit 0
