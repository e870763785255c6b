#!/usr/bin/env bash
# The plug-in's self-check through fernbow-sim --chip-model: selfcheck.asm
# erases a row, writes a full and a partial group of four words (one word
# with a broken unlock sequence: refused and reported), reads one back and
# sends it, sends a byte the two ignored words after a read would have
# changed, then echoes a byte plus one.
#   selfcheck.sh SIM SELFCHECK.hex
# Exit status: 0 pass, 1 fail, 77 skip (gpsim or the plug-in missing, outside CI).
set -uo pipefail
sim=$1 hex=$2
work=$(mktemp -d "${TMPDIR:-/tmp}/fernbow-selfcheck.XXXXXX")
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; tail -n 8 "$work/sim.log" "$work/sim.err" 2>/dev/null; exit 1; }

"$sim" --chip-model --chip 88 --firmware "$hex" --dump "$work/flash.hex" --log "$work/sim.log" \
  >"$work/sim.dev" 2>"$work/sim.err" &
pid=$!
device=
for _ in $(seq 150); do
  device=$(head -n 1 "$work/sim.dev" 2>/dev/null)
  [ -n "$device" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$device" ] && grep -q 'not installed\|was not built' "$work/sim.err"; then
  [ "${CI:-}" = true ] && fail "$(cat "$work/sim.err")"
  echo "SKIP: $(cat "$work/sim.err")"
  exit 77
fi
[ -n "$device" ] || fail "no device"

exec 5<>"$device" && stty -F "$device" raw -echo 19200 || fail "cannot open $device"
read_bytes() { timeout 3 dd bs=1 count="$1" <&5 2>/dev/null | od -An -v -tx1 | tr -d ' \n'; }
readback=$(read_bytes 3)
printf '\x20' >&5
echo=$(read_bytes 1)
exec 5>&-
kill -TERM "$pid"
wait "$pid" || fail "fernbow-sim ended badly"
pid=

[ "$readback" = bc2a11 ] || fail "word 0x102 and the byte after an ignored pair came as '$readback', not bc2a11"
grep -q 'violation at 0x.*without 55h, AAh' "$work/sim.err" || fail "the broken unlock sequence was not reported"
[ "$echo" = 21 ] || fail "0x20 echoed as '$echo', not 21"
# Words 0x100-0x107: the full group, then 0x104 and 0x107 written, 0x105 and 0x106 still erased.
row=$(grep -i '^:10020000' "$work/flash.hex")
[ "$row" = ":1002000034126705BC2AEF3D1101FF3FFF3F77071E" ] || fail "row 0x100 reads $row"
echo "PASS: erase, full and partial group, broken unlock refused and reported, read-back, ignored words after RD, a byte each way"
