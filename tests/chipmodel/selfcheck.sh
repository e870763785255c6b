#!/usr/bin/env bash
# The plug-in's self-check through fernbow-sim --chip-model: selfcheck.asm
# erases a row, writes a full and a partial group of four words (one word
# with a broken unlock sequence: refused and reported), reads one back and
# sends it, sends a byte the two ignored words after a read would have
# changed; the data EEPROM (from the HEX file, a 4 ms write, one without the
# unlock); an echo, then at BAUD a frame from the host (--drop-fast leaves
# out its second byte) sent back four times, 268 bytes. Then the dump.
#   selfcheck.sh SIM SELFCHECK.hex [BAUD]   (default 250000)
# Exit status: 0 pass, 1 fail, 77 skip (gpsim or the plug-in missing, outside CI).
set -uo pipefail
sim=$1 hex=$2 baud=${3:-250000}
# The chip's USART: 8 MHz / (16 x (SPBRG + 1)).
spbrg=$(( (500000 + baud / 2) / baud - 1 ))
work=$(mktemp -d "${TMPDIR:-/tmp}/fernbow-selfcheck.XXXXXX")
pid=
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; tail -n 8 "$work/sim.log" "$work/sim.err" 2>/dev/null; exit 1; }

"$sim" --chip-model --chip 88 --firmware "$hex" --drop-fast 2 --dump "$work/flash.hex" --log "$work/sim.log" \
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
read_bytes() { timeout 3 dd bs=1 count="$1" iflag=fullblock <&5 2>/dev/null | od -An -v -tx1 | tr -d ' \n'; }
# set_rate BAUD: the terminal on fd 5 at any rate (termios2: BOTHER, both directions).
set_rate() {
  perl -e 'my $t = "\0" x 44; ioctl(STDIN, 0x802C542A, $t) or die "TCGETS2: $!\n";
    my @f = unpack("L4 C20 L2", $t); $f[2] = ($f[2] & ~0x100F100F) | 0x10001000; @f[24, 25] = ($ARGV[0]) x 2;
    $t = pack("L4 C20 L2", @f); ioctl(STDIN, 0x402C542B, $t) or die "TCSETS2: $!\n";' "$1" <&5
}
hex_run() { local i; for ((i = $1; i < $2; i++)); do printf '%02x' $((i & 0xFF)); done; }
readback=$(read_bytes 8)
printf "\\x$(printf %02x "$spbrg")" >&5
echo=$(read_bytes 1)
set_rate "$baud" || fail "cannot set $device to $baud baud"
printf "$(hex_run 0x10 0x54 | sed 's/../\\x&/g')" >&5
fast_echo=$(read_bytes 268)
exec 5>&-
kill -TERM "$pid"
wait "$pid" || fail "fernbow-sim ended badly"
pid=

# Word 0x102, the byte after an ignored pair; EEPROM bytes 0 (from the file)
# and 2, 0x5xx six-cycle turns (4 ms) while WR stayed set, EEIF, byte 1.
[ "$readback" = bc2a115aff0510c3 ] || fail "the chip sent $readback, not bc2a11 5aff0510c3"
for memory in '' 'data EEPROM '; do
  grep -q "violation at 0x.*: ${memory}write started without 55h, AAh" "$work/sim.err" ||
    fail "a ${memory}write without the unlock sequence was not reported"
done
[ "$echo" = "$(printf %02x $((spbrg + 1)))" ] || fail "0x$(printf %02x "$spbrg") echoed as '$echo'"
frame=$(hex_run 0x11 0x12)$(hex_run 0x13 0x55)
[ "$fast_echo" = "$frame$frame$frame$frame" ] ||
  fail "the frame at $baud baud, its second byte dropped, came back as ${#fast_echo} digits: ${fast_echo:0:64}..."
grep -q 'dropped byte .*(number 2 not at 19200 baud' "$work/sim.log" || fail "the dropped fast byte was not logged"
# Words 0x100-0x107: the full group, then 0x104 and 0x107 written, 0x105 and 0x106 still erased.
row=$(grep -i '^:10020000' "$work/flash.hex")
[ "$row" = ":1002000034126705BC2AEF3D1101FF3FFF3F77071E" ] || fail "row 0x100 reads $row"
# The EEPROM one byte a word from 0x4200: 0x5A, 0xC3, the rest erased.
grep -qx ':104200005A00C300FF00FF00FF00FF00FF00FF0097' "$work/flash.hex" || fail "the dump's EEPROM reads $(grep '^:1042000' "$work/flash.hex")"
echo "PASS: erase, full and partial group, broken unlock refused and reported, read-back, ignored words after RD, data EEPROM read, write and refusal, a byte each way at 19200 and $baud baud, a fast byte dropped"
