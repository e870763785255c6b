#!/usr/bin/env bash
# End to end on the chip model: fernbow-cli programs the real bootloader
# firmware running in gpsim (fernbow-sim --chip-model), and the flash read
# back from the chip is checked against fernbow-sim's own bootloader model.
#
#   chip_e2e.sh CASE CLI SIM GPSIM_START 88|819 FILE.hex [EXPECT]
#   CASE  program   program FILE; the model's flash below the loader equals the
#                   bootloader model's, the loader is intact; then the flash,
#                   reset with no host, starts like a plain reset of FILE
#                   (gpsim_start.sh; EXPECT is its mended|unchanged; without
#                   EXPECT no start check)
#         full      program FILE (a full-size image) and compare, no start check;
#                   written again, every row is skipped
#         corrupt   a byte of the first frame corrupted on the line: "N", sent
#                   again, the run succeeds
#         loader    raw frames aimed at the loader's first row, its extension's
#                   rows (also by address bit 15 and by an extended 'W', one
#                   with the words the row holds), row 0
#                   without the jump, and an unknown extended command: all "N",
#                   all intact, the chip answers
#         killed    the host killed mid-run, the chip reset: a second run completes
#         wakeup    a wake-up while the loader waits for a frame is answered,
#                   then a run completes
#         two       two chip models at once, one fernbow-cli with two --port
#         monitor   the whole loop: FILE (a greeting at 9600 baud) flashed
#                   through the firmware starts by itself once the loader's
#                   silence has passed, and --monitor=9600 shows the greeting
#         thrice    FILE (a program that enters the loader with interrupts on)
#                   programmed three times in a row on one chip, each run
#                   after the program has run and jumped back to 0
#         repeat    fernbow-cli --repeat --count 2 on one chip: once written, the
#                   loader starts the program after its silence, the CLI sees
#                   the board leave; a reset brings "the next board"
#         (every run that programs also reads the chip back with --read: the
#         file equals the flash below the loader, the moved words at 0..3)
#         again     --read, the read file written back (every row skipped),
#                   --read again: the same
#                   file; --verify of FILE equal (0), of FILE with one word
#                   changed unequal (10, the word named); that changed file
#                   written: one row written, the rest skipped
#         eeprom    FILE's data EEPROM written, read back with --read, verified
#         missed    the first byte at the fast rate dropped: the switch is
#                   missed, both ends are back at 19200, the run completes
#         inherited a host that speaks only the inherited dialogue writes FILE"
# Exit status: 0 pass, 1 fail, 77 skip (gpsim or the firmware missing, outside CI).
set -uo pipefail
case_=$1 cli=$2 sim=$3 gpsim_start=$4 chip=$5 hex=$6 expect=${7:-}

skip() {
  if [ "${CI:-}" = true ]; then echo "FAIL: $* is not installed"; exit 1; fi
  echo "SKIP: $* is not installed"
  exit 77
}
for tool in gpsim srec_cat stty; do command -v "$tool" >/dev/null || skip "$tool"; done
source "$(dirname "$0")/../support/corpus_absent.sh"
require_hex "$hex"

case $chip in
  88)  words=$((0x1000)); entry=$((0xF60)) ;;
  819) words=$((0x800));  entry=$((0x760)) ;;
  *)   echo "FAIL: unknown chip $chip"; exit 1 ;;
esac

work=$(mktemp -d "${TMPDIR:-/tmp}/fernbow-chip-e2e.XXXXXX")
pids=()
cleanup() {
  local p
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null && wait "$p" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*"
  local f
  for f in "$work"/*.out "$work"/*.err "$work"/*.log; do
    [ -s "$f" ] && { echo "--- $(basename "$f")"; tail -n 12 "$f"; }
  done
  exit 1
}

# start_sim NAME [options]: a board in the background; its device in $device.
start_sim() {
  local name=$1 _
  shift
  "$sim" --chip "$chip" --log "$work/$name.log" "$@" >"$work/$name.dev" 2>"$work/$name.err" &
  pids+=($!)
  sim_pid=$!
  device=
  for _ in $(seq 150); do
    device=$(head -n 1 "$work/$name.dev" 2>/dev/null)
    [ -n "$device" ] && return
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  grep -q 'not installed\|was not built\|no bootloader firmware' "$work/$name.err" && skip "$(cat "$work/$name.err")"
  fail "$name gave no device"
}

# stop_sim PID: asks a board to stop and waits for its dump.
stop_sim() {
  kill -TERM "$1" 2>/dev/null
  for _ in $(seq 150); do kill -0 "$1" 2>/dev/null || break; sleep 0.1; done
  wait "$1" || fail "a board ended badly"
}

# program NAME: fernbow-cli writes $hex through $device.
program() {
  timeout 120 "$cli" --trace --port "$device" --wait 30 "$hex" >"$work/$1.out" 2>"$work/$1.err"
}

# words FILE FROM TO: FILE's words FROM to TO-1, one a line (erased 3fff).
words() {
  srec_cat "$1" -intel -crop $((2 * $2)) $((2 * $3)) -fill 0xFF $((2 * $2)) $((2 * $3)) -offset $((-2 * $2)) \
    -o - -binary | od -An -v -tx2 -w2 --endian=little | sed 's/ffff/3fff/'
}
# below_loader FILE: the flash a program may hold, one word a line: below the
# loader's area, and the row of the moved words.
below_loader() {
  words "$1" 0 "$start"
  words "$1" "$vector_row" "$entry"
}
# The loader's words (a word the HEX leaves out is erased, 3fff).
loader() {
  srec_cat "$1" -intel -crop $((2 * entry)) $((2 * words)) -fill 0xFF $((2 * entry)) $((2 * words)) \
    -offset $((-2 * entry)) -o - -binary | od -An -v -tx2 -w2 --endian=little | sed 's/ffff/3fff/'
}
firmware_hex() {
  local f
  for f in "$(dirname "$sim")/../firmware/fernbow-boot-16f$chip.hex" "$(dirname "$sim")/../share/fernbow/firmware/fernbow-boot-16f$chip.hex"; do
    [ -f "$f" ] && { echo "$f"; return; }
  done
}
# The loader's area starts at its lowest row above word 0's jump (the rows
# below the moved words' row that hold its own code), else at the entry.
vector_row=$(((entry - 4) & ~31))
start=$vector_row
if fw=$(firmware_hex) && [ -n "$fw" ]; then
  # (srec_cat writes records in address order; Debian's awk has no strtonum)
  low=$(srec_cat "$fw" -intel -crop 0x40 $((2 * vector_row)) -o - -intel 2>/dev/null |
    sed -n 's/^:..\([0-9A-F]\{4\}\)00.*/\1/p' | head -n 1)
  [ -n "$low" ] && start=$(((0x$low / 2) & ~31))
fi
# A file that reaches into the loader's area is refused by our firmware.
reaches_area() {
  local high
  high=$(srec_cat "$1" -intel -crop 0 0x4000 -o - -intel | sed -n 's/^:\(..\)\([0-9A-F]\{4\}\)00.*/\2 \1/p' | tail -n 1)
  [ -n "$high" ] && [ $((0x${high% *} + 0x${high#* })) -gt $((2 * start)) ]
}
# read_chip NAME: fernbow-cli --read into $work/NAME.read.hex. Every run after
# another on the same board comes without a reset: after a run at a fast
# rate the loader is back at 19200 once the line has been quiet for 154 ms.
read_chip() {
  timeout 60 "$cli" --port "$device" --wait 30 --read "$work/$1.read.hex" >"$work/$1.read.out" 2>"$work/$1.read.err"
}
# check_read READ DUMP: READ holds DUMP's words below the loader's area, with
# the moved words back at 0..3.
check_read() {
  cmp -s <(words "$1" 4 "$start") <(words "$2" 4 "$start") ||
    fail "--read differs from the flash: $(diff <(words "$1" 4 "$start") <(words "$2" 4 "$start") | head -n 3 | tr '\n' ' ')"
  cmp -s <(words "$1" 0 4) <(words "$2" $((entry - 4)) "$entry") || fail "--read did not put the moved words back at 0"
}

# The same file through fernbow-sim's bootloader model, for comparison: its
# flash in $work/own.hex, the CLI's exit status in $expected.
reference_dump() {
  start_sim own --instant --exit-after 1 --idle-ms 200 --dump "$work/own.hex"
  program own; expected=$?
  # A written board ends its session by itself; a refused one is stopped.
  for _ in $(seq 100); do [ "$expected" = 0 ] && kill -0 "$sim_pid" 2>/dev/null || break; sleep 0.1; done
  stop_sim "$sim_pid"
}

# check_flash DUMP [REFERENCE]: below the loader DUMP equals REFERENCE (the
# bootloader model's flash by default); the loader's rows are the firmware's.
check_flash() {
  local dump=$1 reference=${2:-$work/own.hex} fw
  fw=$(firmware_hex)
  [ -n "$fw" ] || fail "no firmware HEX found beside $sim"
  cmp -s <(below_loader "$dump") <(below_loader "$reference") ||
    fail "the chip's flash differs from $(basename "$reference"): $(diff <(below_loader "$dump") <(below_loader "$reference") | head -n 3 | tr '\n' ' ')"
  cmp -s <(loader "$dump") <(loader "$fw") || fail "the loader's rows are not intact"
}

# run_and_compare NAME [sim options]: the chip model programmed, its dump in $work/NAME.hex.
run_and_compare() {
  local name=$1
  shift
  reference_dump
  start_sim "$name" --chip-model --dump "$work/$name.hex" "$@"
  program "$name"; local status=$?
  [ "$status" = 0 ] && { read_chip "$name" || fail "--read ended with $?: $(tail -n 2 "$work/$name.read.err")"; }
  # Written again: every row the chip holds already is skipped.
  if [ "$case_" = full ] && [ "$status" = 0 ]; then
    program again || fail "the second write ended with $?"
    grep -q '^0 rows written, [1-9][0-9]* skipped' "$work/again.out" || fail "rows written again: $(grep 'rows written' "$work/again.out")"
  fi
  stop_sim "$sim_pid"
  # Our loader's area is larger than the model's.
  [ "$expected" = 0 ] && reaches_area "$hex" && expected=4
  [ "$status" = "$expected" ] || fail "fernbow-cli ended with $status on the chip model, $expected expected"
  [ "$status" = 0 ] && check_read "$work/$name.read.hex" "$work/$name.hex"
  # Refused (4): the chip is as it left the programmer.
  if [ "$status" = 4 ]; then check_flash "$work/$name.hex" "$(firmware_hex)"; else check_flash "$work/$name.hex"; fi
}

# Raw bytes on a pty: open it raw on fd 5.
open_raw() {
  exec 5<>"$device" || fail "cannot open $device"
  stty -F "$device" raw -echo 19200 || fail "stty failed on $device"
}
# read_bytes N: up to N bytes from fd 5 within 3 s, as hex digits.
read_bytes() { timeout 3 dd bs=1 count="$1" <&5 2>/dev/null | od -An -v -tx1 | tr -d ' \n'; }

case $case_ in
  program|full)
    run_and_compare chip
    grep -q 'overlaps boot area' "$work/chip.err" && { echo "PASS: $(basename "$hex") refused, loader intact"; exit 0; }
    [ -n "$expect" ] || { echo "PASS: $(basename "$hex") programmed through the firmware, flash as the model's"; exit 0; }
    # The chip's flash, reset with no host: the window passes, the program starts.
    bash "$gpsim_start" "$cli" "$sim" "$chip" "$hex" "$expect" "$work/chip.hex" "$(firmware_hex)" || exit 1
    echo "PASS: $(basename "$hex") programmed through the firmware and starts like a reset"
    ;;
  corrupt)
    # Byte 30 lies in the first frame whatever the number of wake-ups before it.
    run_and_compare chip --corrupt 30
    grep -q 'corrupted byte 30' "$work/chip.log" || fail "the byte was not corrupted"
    grep -q '< 4E$' "$work/chip.err" || fail "no \"N\" came back"
    echo "PASS: a corrupted byte was answered N, sent again and written"
    ;;
  loader)
    start_sim chip --chip-model --dump "$work/chip.hex"
    open_raw
    printf '\xC1' >&5
    answer=$(read_bytes 2)
    [ ${#answer} -eq 4 ] || fail "no answer to the wake-up (got '$answer')"
    # raw_frame WORD [CMD [SUM [held]]]: a frame for that word address, 32
    # words of 0x0000 (held: the words the firmware puts there), count byte
    # CMD (0x40), the bytes summing to SUM (0: a plain frame; 0x5A an
    # extended one); the loader's answer in $reply.
    raw_frame() {
      local cmd=${2:-0x40} target=${3:-0} sum frame w _
      sum=$(( ($1 >> 8) + ($1 & 0xFF) + cmd ))
      frame=$(printf '\\x%02x\\x%02x\\x%02x' $((($1 >> 8) & 0xFF)) $(($1 & 0xFF)) "$cmd")
      if [ "${4:-}" = held ]; then
        for w in $(words "$(firmware_hex)" "$1" $(($1 + 32))); do
          frame+=$(printf '\\x%02x\\x%02x' $((0x$w & 0xFF)) $((0x$w >> 8)))
          sum=$((sum + 0x$w % 256 + 0x$w / 256))
        done
      else
        for _ in $(seq 64); do frame+='\x00'; done
      fi
      frame+=$(printf '\\x%02x' $(( (target + 256 - sum % 256) % 256 )))
      printf "$frame" >&5
      reply=$(read_bytes 1)
    }
    # word | CMD | sum | what [| held]: every one refused with "N"
    for row in "$entry|0x40|0|the loader's row" "$start|0x40|0|the extension's first row" \
               "$((vector_row - 32))|0x40|0|the extension's last row" "$((0x8000 | start))|0x40|0|an alias of the extension" \
               "0|0x40|0|row 0 without the jump" "$start|0x57|0x5A|a write-if-different at the extension" \
               "$start|0x57|0x5A|a write-if-different of the extension's first row as it is (not 'S')|held" \
               "0|0x5A|0x5A|an unknown extended command"; do
      IFS='|' read -r word cmd target what body <<<"$row"
      raw_frame "$word" "$cmd" "$target" "$body"
      [ "$reply" = 4e ] || fail "$what was not refused with N (got '$reply')"
    done
    printf '\xC1' >&5
    again=$(read_bytes 2)
    exec 5>&-
    stop_sim "$sim_pid"
    [ "$again" = "$answer" ] || fail "the chip did not answer a wake-up after the frames (got '$again')"
    fw=$(firmware_hex)
    cmp -s <(loader "$work/chip.hex") <(loader "$fw") || fail "the loader's rows changed"
    cmp -s <(words "$work/chip.hex" "$start" "$vector_row") <(words "$fw" "$start" "$vector_row") ||
      fail "the extension's rows changed"
    cmp -s <(below_loader "$work/chip.hex" | head -n 32) <(below_loader "$fw" | head -n 32) || fail "row 0 changed"
    echo "PASS: frames aimed at the loader, its extension and row 0 without the jump were refused, all intact, the chip still answers"
    ;;
  killed)
    reference_dump
    start_sim chip --chip-model --dump "$work/chip.hex"
    board=$sim_pid
    "$cli" --port "$device" --wait 30 "$hex" >"$work/first.out" 2>"$work/first.err" &
    host=$!
    pids+=($host)
    sleep 1.5
    kill -KILL "$host"; wait "$host" 2>/dev/null
    # A reset cuts short any answer on its way; what is left of it must reach
    # the line before the new host's first write discards it.
    sleep 0.2
    kill -USR1 "$board"
    sleep 0.2
    program second; status=$?
    stop_sim "$board"
    [ "$status" = "$expected" ] || fail "the second run ended with $status"
    check_flash "$work/chip.hex"
    echo "PASS: host killed mid-run, chip reset, a second run completed"
    ;;
  wakeup)
    reference_dump
    start_sim chip --chip-model --dump "$work/chip.hex"
    open_raw
    printf '\xC1' >&5
    first=$(read_bytes 2)
    sleep 0.3
    printf '\xC1' >&5
    second=$(read_bytes 2)
    exec 5>&-
    [ ${#first} -eq 4 ] && [ "$second" = "$first" ] || fail "wake-ups answered '$first' then '$second'"
    program chip; status=$?
    stop_sim "$sim_pid"
    [ "$status" = "$expected" ] || fail "the run after the wake-ups ended with $status"
    check_flash "$work/chip.hex"
    echo "PASS: a wake-up while waiting for a frame answered '$first' again; the run completed"
    ;;
  two)
    reference_dump
    start_sim one --chip-model --dump "$work/one.hex"; one=$sim_pid first=$device
    start_sim two --chip-model --dump "$work/two.hex"; two=$sim_pid
    timeout 120 "$cli" --port "$first" --port "$device" --wait 30 "$hex" >"$work/both.out" 2>"$work/both.err"
    status=$?
    stop_sim "$one"
    stop_sim "$two"
    [ "$status" = "$expected" ] || fail "the run on two ports ended with $status"
    check_flash "$work/one.hex"
    check_flash "$work/two.hex"
    echo "PASS: two chip models programmed at once"
    ;;
  monitor)
    start_sim chip --chip-model
    "$cli" --port "$device" --monitor=9600 "$hex" </dev/null >"$work/monitor.out" 2>"$work/monitor.err" &
    host=$!
    pids+=($host)
    greeting='Hello from the PIC16F88'
    for _ in $(seq 300); do grep -q "$greeting" "$work/monitor.out" && break; sleep 0.1; done
    kill -INT "$host"
    wait "$host"; status=$?
    stop_sim "$sim_pid"
    grep -q "$greeting" "$work/monitor.out" || fail "no greeting on the monitor: $(tail -n 3 "$work/monitor.out")"
    [ "$status" = 0 ] || fail "the monitor ended with $status: $(tail -n 3 "$work/monitor.err")"
    echo "PASS: flashed through the firmware, the program started by itself and greeted the monitor at 9600 baud"
    ;;
  thrice)
    reference_dump
    start_sim chip --chip-model --dump "$work/chip.hex"
    for run in 1 2 3; do
      program "run$run"; status=$?
      [ "$status" = "$expected" ] || fail "run $run ended with $status"
      grep -q 'Pic successfully programmed! ' "$work/run$run.out" || fail "run $run did not program the chip"
      # The loader's silence (3 s), then the program runs and jumps back.
      [ "$run" = 3 ] || sleep 4
    done
    stop_sim "$sim_pid"
    check_flash "$work/chip.hex"
    grep -q violation "$work/chip.err" && fail "the firmware broke the chip's rules: $(grep -m1 violation "$work/chip.err")"
    echo "PASS: $(basename "$hex") programmed three times, each time entered from the program with interrupts on"
    ;;
  repeat)
    reference_dump
    start_sim chip --chip-model --dump "$work/chip.hex"
    board=$sim_pid
    "$cli" --repeat --count 2 --port "$device" --wait 60 "$hex" >"$work/repeat.out" 2>"$work/repeat.err" &
    host=$!
    pids+=($host)
    # The first board written, the CLI waits for it to leave: the program
    # starts after the loader's silence and no longer answers wake-ups, and
    # the CLI searches again. Then a reset brings up the loader: the next board.
    searches() { grep -c 'Searching PIC!' "$work/repeat.out"; }
    for _ in $(seq 300); do [ "$(searches)" -ge 2 ] && break; sleep 0.1; done
    [ "$(searches)" -ge 2 ] || fail "the written board never left: $(tail -n 3 "$work/repeat.out")"
    kill -USR1 "$board"
    wait "$host"; status=$?
    stop_sim "$board"
    [ "$status" = 0 ] || fail "--repeat --count 2 ended with $status: $(tail -n 3 "$work/repeat.err")"
    grep -q ': 2 programmed, 0 failed' "$work/repeat.out" || fail "not two boards: $(tail -n 3 "$work/repeat.out")"
    check_flash "$work/chip.hex"
    echo "PASS: --repeat saw the written board start its program and leave, then took the reset chip as the next"
    ;;
  again)
    start_sim chip --chip-model --dump "$work/chip.hex"
    program first || fail "the first write ended with $?"
    read_chip one || fail "--read ended with $?"
    timeout 120 "$cli" --port "$device" --wait 30 "$work/one.read.hex" >"$work/back.out" 2>"$work/back.err" ||
      fail "writing the read file ended with $?"
    grep -q '^0 rows written' "$work/back.out" || fail "the read file was not skipped: $(grep 'rows written' "$work/back.out")"
    read_chip two || fail "the second --read ended with $?"
    cmp -s "$work/one.read.hex" "$work/two.read.hex" || fail "read, write, read gave another file"
    "$cli" --port "$device" --wait 30 --verify "$hex" >"$work/verify.out" 2>"$work/verify.err" ||
      fail "--verify of the written file ended with $?: $(tail -n 2 "$work/verify.err")"
    # One word of the fifth row changed.
    changed=$(printf '%04X' $((5 * 32 + 3)))
    srec_cat "$hex" -intel -exclude $((2 * 0x$changed)) $((2 * 0x$changed + 2)) \
      -generate $((2 * 0x$changed)) $((2 * 0x$changed + 2)) -constant-l-e 0x0123 2 -o "$work/changed.hex" -intel
    "$cli" --port "$device" --wait 30 --verify "$work/changed.hex" >"$work/verify2.out" 2>"$work/verify2.err"
    status=$?
    [ "$status" = 10 ] || fail "--verify of a changed file ended with $status"
    grep -q "first at address 0x$changed" "$work/verify2.err" || fail "the difference was not named: $(cat "$work/verify2.err")"
    timeout 120 "$cli" --port "$device" --wait 30 "$work/changed.hex" >"$work/changed.out" 2>"$work/changed.err" ||
      fail "writing the changed file ended with $?"
    grep -q '^1 rows written' "$work/changed.out" || fail "not one row written: $(grep 'rows written' "$work/changed.out")"
    read_chip three || fail "the third --read ended with $?"
    stop_sim "$sim_pid"
    check_read "$work/three.read.hex" "$work/chip.hex"
    cmp -s <(words "$work/three.read.hex" 4 "$start") <(words "$work/changed.hex" 4 "$start") ||
      fail "the chip does not hold the changed file"
    echo "PASS: read, written back (all skipped), read alike; verify equal and unequal; a one-word change wrote one row"
    ;;
  eeprom)
    start_sim chip --chip-model --dump "$work/chip.hex"
    program first || fail "the write ended with $?: $(tail -n 2 "$work/first.err")"
    grep -q 'EEPROM data in the file is not written' "$work/first.err" && fail "the EEPROM data was left out"
    read_chip one || fail "--read ended with $?"
    "$cli" --port "$device" --wait 30 --verify "$hex" >"$work/verify.out" 2>"$work/verify.err" ||
      fail "--verify ended with $?: $(tail -n 2 "$work/verify.err")"
    stop_sim "$sim_pid"
    want=$(srec_cat "$hex" -intel -crop 0x4200 0x4400 -o - -intel | grep -c '^:..42\|^:..43')
    [ "$want" -gt 0 ] || fail "$(basename "$hex") holds no EEPROM data"
    cmp -s <(srec_cat "$hex" -intel -crop 0x4200 0x4400 -fill 0xFF 0x4200 0x4400 -o - -binary | od -An -v -tx1 -w2 | cut -c1-3) \
      <(srec_cat "$work/one.read.hex" -intel -crop 0x4200 0x4400 -fill 0xFF 0x4200 0x4400 -o - -binary | od -An -v -tx1 -w2 | cut -c1-3) ||
      fail "the EEPROM read back differs from the file"
    echo "PASS: data EEPROM written, read back equal, verified"
    ;;
  missed)
    run_and_compare chip --drop-fast 1
    grep -q 'switch was missed' "$work/chip.out" || fail "the switch was not missed: $(grep -m1 baud "$work/chip.out")"
    grep -q 'line at 19200 baud' "$work/chip.out" || fail "the run did not end at 19200"
    echo "PASS: the rate switch missed by the chip, both ends back at 19200, the run completed"
    ;;
  inherited)
    reference_dump
    start_sim chip --chip-model --dump "$work/chip.hex"
    timeout 120 python3 "$(dirname "$0")/inherited_host.py" "$device" "$hex" "$chip" >"$work/inherited.out" 2>&1 ||
      fail "the inherited host failed: $(tail -n 3 "$work/inherited.out")"
    stop_sim "$sim_pid"
    check_flash "$work/chip.hex"
    echo "PASS: a host that speaks only the inherited dialogue wrote $(basename "$hex")"
    ;;
  *) fail "unknown case $case_" ;;
esac
