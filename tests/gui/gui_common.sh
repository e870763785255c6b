# Shared by the GUI test scripts (sourced): a private Xvfb display, a private
# config folder, bounded waits, and cleanup of every process started here.
# Exit status of a script: 0 pass, 1 fail, 77 skip (no X server here).

caption=' PIC16F819, PIC16F88 V1.1'

for tool in Xvfb xdotool "$@"; do
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
  # FERNBOW_GUI_FAILSHOT=file.png keeps a picture of the screen at the failure.
  [ -n "${FERNBOW_GUI_FAILSHOT:-}" ] && import -window root "$FERNBOW_GUI_FAILSHOT" 2>/dev/null
  local f
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

gone() { ! kill -0 "$1" 2>/dev/null; }

# Sets $window to the first shown window whose whole title matches $1.
find_window() { window=$(xdotool search --onlyvisible --name "^($1)\$" 2>/dev/null | head -n 1); [ -n "$window" ]; }

gone_window() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }

# Gives $1 the keyboard (there is no window manager to do it) and types $2.
press() {
  xdotool windowfocus "$1" 2>/dev/null
  sleep 0.3
  xdotool key --clearmodifiers "$2"
}

# Clicks the template rectangle x,y,w,h (dialog units) of the main window
# $1: the window scales the template evenly, so the centre is found from
# its size without knowing the font (the dialog is 257 x 66 units).
click_control() {
  local w h
  read -r w h < <(xwininfo -id "$1" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w, h}')
  xdotool mousemove --window "$1" $((w * ($2 * 2 + $4) / 514)) $((h * ($3 * 2 + $5) / 132)) click 1
}

# Starts a simulated PIC16F88 registered as COM3 that ends after one
# programming session and dumps its flash to $work/flash.hex; sets $sim_pid.
start_board_as_com3() {
  "$sim" --com 3 --instant --chip 88 --exit-after 1 --dump "$work/flash.hex" \
    >"$work/sim.out" 2>"$work/sim.log" &
  sim_pid=$!
  pids+=($sim_pid)
  wait_for 20 test -L "$ports/COM3" || fail "the simulator did not appear as COM3"
}

# Presses key $2 in window $1 and expects the program to end with status 0.
expect_key_ends_program() {
  press "$1" "$2"
  wait_for 30 gone "$fernbow_pid" || fail "$3"
  local status=0
  wait "$fernbow_pid" || status=$?
  [ "$status" -eq 0 ] || fail "fernbow ended with status $status"
}

# Presses "&Write Flash" in window $1 with the mouse (the focus then sits on
# the button that the run disables, and Escape must still reach the window),
# waits until wake-up bytes reach a board that logs to $work/wire.txt and
# never answers, and expects Escape to end the program with status 0.
expect_escape_ends_waiting_run() {
  click_control "$1" 200 25 50 25   # "&Write Flash"
  wait_for 30 test -s "$work/wire.txt" || fail "the run did not start"
  gone "$fernbow_pid" && fail "the program ended by itself"
  expect_key_ends_program "$1" Escape "closing during the run did not end the program"
}

# The flash dump $1 must hold every byte of the HEX file $2 but its reset
# vector (bytes 0..7), which the programmer moves.
check_flash() {
  srec_cat "$2" -intel -exclude 0 8 -o "$work/expected.hex" -intel -address-length=2 ||
    fail "srec_cat could not read $2"
  srec_cat "$1" -intel -crop -within "$2" -intel -exclude 0 8 \
    -o "$work/written.hex" -intel -address-length=2 || fail "srec_cat could not read the flash dump"
  srec_cmp "$work/expected.hex" -intel "$work/written.hex" -intel ||
    fail "the board's flash differs from the file"
}

# A display of our own: Xvfb picks a free number and tells us.
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

export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"
ports="$XDG_CONFIG_HOME/Corvane/Fernbow/Ports"

# Two blocks of code for a PIC16F88.
cat >"$work/prog.hex" <<'HEX'
:100000008A01042800000000462E0F3C803D782421
:100010005E35021D2F39BF006B342221721E781C01
:100020004B01F625A926E32A2B12B127D602341C50
:1002000072209B02B41380037C3B783AEA25B71C2A
:00000001FF
HEX
