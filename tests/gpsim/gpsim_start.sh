#!/usr/bin/env bash
# Proof on a simulated chip that a program written by fernbow-cli really
# starts: the program is written into fernbow-sim, the board's whole flash
# gets a stand-in bootloader at the entry and runs in gpsim; the original
# file runs in gpsim from a plain reset; the two runs are compared.
#
#   gpsim_start.sh CLI SIM 88|819 FILE.hex EXPECT [FLASH.hex CONFIG.hex]
#   EXPECT  mended     the CLI tells of the mend; the program starts like a reset
#           unchanged  no note, no warning; the program starts like a reset
#           warns      the CLI warns (and exits 0); the comparison must fail
#   FLASH   the whole flash as real bootloader firmware wrote it (the chip
#           model's): it runs instead of the stand-in, with the configuration
#           words of CONFIG (the firmware's, as a programmer set them once);
#           the bootloader's window passes with the line idle, then the
#           program must start like a plain reset
# Exit status: 0 pass, 1 fail, 77 skip (no gpsim, outside CI).
set -uo pipefail
cli=$1 sim=$2 chip=$3 hex=$4 expect=$5 flash=${6:-} config=${7:-}

cycles=3000000       # compared from the first instruction of the program proper
# Writes compared: the ports and their directions, and what sets up timers,
# interrupts, the converter and the clock.
registers="porta portb trisa trisb intcon t1con t2con adcon0 adcon1 osccon"
settle=40            # the reset code (and the bootloader's jumps) end within this
window=8000000       # cycles a real bootloader may wait for the host (4 s at 8 MHz)
note='reset code adjusted for the bootloader: clrf PCLATH added'

for tool in gpsim srec_cat od awk; do
  if ! command -v "$tool" >/dev/null; then
    if [ "${CI:-}" = true ]; then echo "FAIL: $tool is not installed"; exit 1; fi
    echo "SKIP: $tool is not installed"
    exit 77
  fi
done

# The real-world corpus may be absent here.
source "$(dirname "$0")/../support/corpus_absent.sh"
require_hex "$hex"

case $chip in
  88)  processor=p16f88;  words=$((0x1000)); entry=$((0xF60)) ;;
  819) processor=p16f819; words=$((0x800));  entry=$((0x760)) ;;
  *)   echo "FAIL: unknown chip $chip"; exit 1 ;;
esac
vector=$((entry - 4))
standin=0x2F5C   # goto 0x75C: with PCLATH as the jump at 0 left it, the moved words

work=$(mktemp -d "${TMPDIR:-/tmp}/fernbow-gpsim.XXXXXX")
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  local f
  for f in "$work"/cli.out "$work"/cli.err "$work"/sim.log; do
    [ -s "$f" ] && { echo "--- $(basename "$f")"; tail -n 15 "$f"; }
  done
  exit 1
}

# 1. Write the file into a simulated board, the CLI tracing, and take its flash.
"$sim" --chip "$chip" --instant --exit-after 1 --idle-ms 200 --dump "$work/dump.hex" \
  >"$work/sim.out" 2>"$work/sim.log" &
sim_pid=$!
device=
for _ in $(seq 100); do
  device=$(head -n 1 "$work/sim.out" 2>/dev/null)
  [ -n "$device" ] && break
  sleep 0.1
done
[ -n "$device" ] || fail "the simulator gave no device"
timeout 60 "$cli" --trace --port "$device" --wait 30 "$hex" >"$work/cli.out" 2>"$work/cli.err"
status=$?
[ "$status" -eq 0 ] || fail "fernbow-cli ended with $status"
for _ in $(seq 100); do kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$sim_pid" 2>/dev/null && fail "the simulator did not end after the session"
wait "$sim_pid" || fail "the simulator ended badly"
sim_pid=

notes=$(grep -c -x "$note" "$work/cli.out")
warnings=$(grep -c '^warning: ' "$work/cli.err")
case $expect in
  mended)    [ "$notes" -eq 1 ] && [ "$warnings" -eq 0 ] || fail "expected the mend told once, no warning" ;;
  unchanged) [ "$notes" -eq 0 ] && [ "$warnings" -eq 0 ] || fail "expected neither mend nor warning" ;;
  warns)     [ "$notes" -eq 0 ] && [ "$warnings" -eq 1 ] || fail "expected one warning and no mend" ;;
  *)         fail "unknown expectation $expect" ;;
esac

# 2. Whole flashes for gpsim (it leaves words a HEX file lacks unloaded), with
#    the file's configuration words: the plain file, and the board's flash with
#    the stand-in bootloader at the entry.
srec_cat "$hex" -intel -fill 0xFF 0 $((2 * words)) -o "$work/plain.hex" -intel -obs=16 ||
  fail "srec_cat could not fill $hex"
if [ -n "$flash" ]; then
  srec_cat "$flash" -intel -crop 0 $((2 * words)) "$config" -intel -crop 0x4000 0x10000 \
    -o "$work/boot.hex" -intel -obs=16 || fail "srec_cat could not take the firmware's flash"
else
  srec_cat "$work/dump.hex" -intel -crop 0 $((2 * words)) -exclude $((2 * entry)) $((2 * entry + 2)) \
    -generate $((2 * entry)) $((2 * entry + 2)) -constant-l-e $standin 2 \
    "$hex" -intel -crop 0x4000 0x10000 -o "$work/boot.hex" -intel -obs=16 ||
    fail "srec_cat could not build the bootloaded flash"
fi

# The last word of every run of erased words: whatever enters erased memory
# runs through to it, so one breakpoint a run catches it (gpsim has ~1000).
erased_ends() {
  srec_cat "$1" -intel -crop 0 $((2 * words)) -o - -binary | od -An -v -tu2 -w2 --endian=little |
    awk '{ e = ($1 % 16384 == 16383) }
         prev && !e { print NR - 2 }
         { prev = e }
         END { if (prev) print NR - 1 }'
}

# Runs a flash in gpsim: port and TRIS writes to $name.log, the first
# instructions to $name.trace, breaks (erased words, the entry once the reset
# code is over) to $name.out. With WAIT set, a real bootloader's window passes
# first and the trace starts at the moved vector.
run_gpsim() {
  local name=$1 image=$2 wait=${3:-} a ends offset=0
  ends=$(erased_ends "$image")
  [ "$(wc -l <<<"$ends")" -lt 900 ] || fail "too many erased holes in $name for gpsim's breakpoints"
  {
    echo "load $image"
    echo "log on $work/$name.log"
    for r in $registers; do echo "log w $r"; done
    for a in $ends; do echo "break e $a"; done
    # Beside a real bootloader both runs see the serial line as on a board:
    # RB2 and RB5 idle high (else the pins it leaves as inputs read apart).
    if [ -n "$flash" ]; then
      printf 'module library libgpsim_modules\n'
      printf 'module load pullup idle_rx\nnode rx\nattach rx portb2 idle_rx.pin\n'
      printf 'module load pullup idle_tx\nnode tx\nattach tx portb5 idle_tx.pin\n'
    fi
    if [ -n "$wait" ]; then
      offset=$window
      echo "break e $vector"
      echo "break c $window"
      echo "run"
      echo "step $settle"
    else
      echo "break c $settle"
      echo "run"
    fi
    echo "trace save $work/$name.trace"
    echo "break e $entry"
    echo "break c $((offset + cycles + 2 * settle))"
    echo "run"
    echo "log off"
    echo "quit"   # gpsim spins at the end of its input otherwise
  } >"$work/$name.stc"
  timeout 120 gpsim -i -p "$processor" -c "$work/$name.stc" </dev/null >"$work/$name.out" 2>&1 ||
    fail "gpsim did not finish the $name run"
}

# gpsim prints numbers as 0x... hex; Debian's awk has no strtonum.
hex_awk='function hex(s,  i, n) { n = 0; s = toupper(substr(s, 3))
  for (i = 1; i <= length(s); i++) n = n * 16 + index("0123456789ABCDEF", substr(s, i, 1)) - 1
  return n }'

# "address cycle" of the first instruction outside the reset code (words 0
# to 3, the moved words and the entry); with FROM, of the first after the
# moved vector (a real bootloader runs its own code before).
program_start() {
  awk -v lo=$vector -v hi=$entry -v from="${2:--1}" "$hex_awk"'
    /^0x[0-9A-F]+ p16f/ {
      a = hex($3)
      if (a == from) from = -1
      if (from < 0 && a > 3 && (a < lo || a > hi)) { printf "0x%04X %d\n", a, hex($1); exit }
    }' "$work/$1.trace"
}

# "cycle address register value" of each write to the registers compared,
# cycles counted from the program's start (the log also shows side effects
# such as STATUS, which the bootloader's jumps leave differently).
# Beside a real bootloader, PORTB's serial pins (RB2, RB5) read what the
# line holds, which gpsim settles only some cycles into a run: left out.
# So is INTCON's RBIF, which a reset leaves unknown and the bootloader
# clears, and on the PIC16F819 TRISB's RB5, which its bootloader leaves an
# output (driven high, the line's idle level).
port_writes() {
  awk -v start="$2" -v limit=$cycles -v logged=" $registers " -v line_pins="${flash:+1}" -v chip=$chip "$hex_awk"'
    function without(v, bit,  n) { n = hex(v); n -= bit * (int(n / bit) % 2); return sprintf("0x%04X", n) }
    /^0x[0-9A-F]+ p16f/ { cycle = hex($1) - start; at = $3 }
    $1 == "Wrote:" && cycle >= 0 && cycle < limit {
      reg = $4; sub(/\(.*/, "", reg)
      v = $2
      if (line_pins && reg == "portb") v = without(without(v, 4), 32)
      if (line_pins && reg == "intcon") v = without(v, 1)
      if (line_pins && reg == "trisb" && chip == 819) v = without(v, 32)
      if (index(logged, " " reg " ")) print cycle, at, reg, v
    }' "$work/$1.log"
}

run_gpsim plain "$work/plain.hex"
run_gpsim boot "$work/boot.hex" "$flash"
from=-1 expected_break='no break expected'
# A real bootloader reaches the moved vector through the break set on it.
[ -n "$flash" ] && from=$vector expected_break="($(printf '0x%x' $vector))"
plain=$(program_start plain)
[ -n "$plain" ] || fail "no program start within $settle cycles of a plain reset"
out=$(grep -m 1 'Execution at' "$work/plain.out") && fail "from a plain reset the program itself reaches erased words: $out"
port_writes plain "${plain#* }" >"$work/plain.writes"
[ -s "$work/plain.writes" ] || fail "no register writes to compare from a plain reset"

# Why the bootloaded run does not start like the plain one; empty when it does.
compare_runs() {
  local out boot
  out=$(grep 'Execution at' "$work/boot.out" | grep -v -m 1 -F "$expected_break") && { echo "the bootloaded run reaches erased words or the entry again: $out"; return; }
  boot=$(program_start boot "$from")
  [ "${plain% *}" = "${boot% *}" ] || { echo "the program starts at ${plain% *} after a reset but at '${boot% *}' bootloaded"; return; }
  port_writes boot "${boot#* }" >"$work/boot.writes"
  cmp -s "$work/plain.writes" "$work/boot.writes" ||
    { echo "the register writes differ: $(diff "$work/plain.writes" "$work/boot.writes" | head -n 3 | tr '\n' ' ')"; return; }
  echo ""
}

why=$(compare_runs)
if [ "$expect" = warns ]; then
  [ -n "$why" ] || fail "the warning was given, yet the program started like a reset"
  echo "PASS: $(basename "$hex") warned of, and indeed $why"
else
  [ -z "$why" ] || fail "$why"
  echo "PASS: $(basename "$hex") starts at $(program_start boot "$from" | cut -d' ' -f1)," \
       "$(wc -l <"$work/plain.writes") register writes alike over $cycles cycles"
fi
