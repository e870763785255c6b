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
caption=' PIC16F819, PIC16F88 V1.1'

for tool in Xvfb xdotool srec_cat srec_cmp; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

work=$(mktemp -d "${TMPDIR:-/tmp}/fernbow-gui.XXXXXX")
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  for f in "$work"/*.log; do
    [ -s "$f" ] && { echo "--- $(basename "$f")"; tail -n 20 "$f"; }
  done
  exit 1
}

# Polls a command every 0.2 s for at most $1 seconds.
wait_for() {
  local seconds=$1; shift
  local tries=$((seconds * 5))
  while ((tries-- > 0)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# --- a display of our own: Xvfb picks a free number and tells us ---------
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
exec 3>&-
if ! wait_for 20 test -s "$work/display"; then
  echo "SKIP: Xvfb did not start"
  cat "$work/xvfb.log"
  exit 77
fi
export DISPLAY=":$(head -n 1 "$work/display")"

# --- settings, board and file, all under a private config folder ---------
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

# Two blocks of code; the first words (the reset vector) are moved by the
# programmer, so the check below leaves bytes 0..7 out.
cat >"$work/prog.hex" <<'EOF'
:100000008A01042800000000462E0F3C803D782421
:100010005E35021D2F39BF006B342221721E781C01
:100020004B01F625A926E32A2B12B127D602341C50
:1002000072209B02B41380037C3B783AEA25B71C2A
:00000001FF
EOF

"$sim" --com 3 --instant --chip 88 --exit-after 1 --dump "$work/flash.hex" \
  >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
pids+=($sim_pid)
wait_for 20 test -L "$XDG_CONFIG_HOME/Corvane/Fernbow/Ports/COM3" || fail "the simulator did not appear as COM3"

"$settings_writer" --int ComNr 3 --string FileName "$work/prog.hex" || fail "could not store the settings"

# --- the program ----------------------------------------------------------
"$fernbow" >"$work/fernbow.log" 2>&1 &
fernbow_pid=$!
pids+=($fernbow_pid)

find_window() { window=$(xdotool search --name "^${caption}\$" 2>/dev/null | head -n 1); [ -n "$window" ]; }
window=
if ! wait_for 60 find_window; then
  # A box in front of the window (port not found) would hold it back.
  fail "no window captioned '$caption'"
fi
xdotool windowfocus "$window" 2>/dev/null
sleep 0.5
xdotool key --clearmodifiers alt+w

# The board ends its session once the line has been quiet for a second
# after the last block, and writes its flash out as it stops.
sim_gone() { ! kill -0 "$sim_pid" 2>/dev/null; }
wait_for 90 sim_gone || fail "no programming session reached the board"
wait "$sim_pid" || fail "the simulator ended with an error"
[ -s "$work/flash.hex" ] || fail "the simulator wrote no flash dump"

# Let the status line settle, then keep a picture of the window.
sleep 1
if command -v import >/dev/null; then
  import -window "$window" "$screenshot" 2>"$work/import.log" ||
    echo "note: no screenshot taken"
fi

# --- the flash must hold every byte of the file outside the reset vector --
srec_cat "$work/prog.hex" -intel -exclude 0 8 -o "$work/expected.hex" -intel -address-length=2 ||
  fail "srec_cat could not read the test file"
srec_cat "$work/flash.hex" -intel -crop -within "$work/prog.hex" -intel -exclude 0 8 \
  -o "$work/written.hex" -intel -address-length=2 || fail "srec_cat could not read the flash dump"
srec_cmp "$work/expected.hex" -intel "$work/written.hex" -intel ||
  fail "the board's flash differs from the file"

# --- Escape ends the idle dialog, and the program with it -----------------
xdotool windowfocus "$window" 2>/dev/null
sleep 0.3
xdotool key Escape
fernbow_gone() { ! kill -0 "$fernbow_pid" 2>/dev/null; }
wait_for 30 fernbow_gone || fail "Escape did not end the program"
wait "$fernbow_pid"
status=$?
[ "$status" -eq 0 ] || fail "fernbow ended with status $status"

echo "PASS: the window programmed the board and closed on Escape"
exit 0
