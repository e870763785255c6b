#!/usr/bin/env bash
# The main job: build, start a simulated PIC16F88 board, and program the
# example blinker into it with fernbow-cli at the real line rate. Installs
# and builds only what it runs (fernbow-cli, fernbow-sim, the examples) in a
# build folder of its own.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh demo
build=build-demo
bash scripts/build.sh "$build" -DFERNBOW_GUI=OFF -DBUILD_TESTING=OFF -- --target fernbow-cli fernbow-sim examples

work=$(mktemp -d)
sim_pid=""
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
# Keep the demo's COM links and settings away from the user's own.
export XDG_CONFIG_HOME="$work/config"

"$build"/sim/fernbow-sim --chip 88 --exit-after 1 --dump "$work/flash.hex" >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do [ -s "$work/sim.out" ] && break; sleep 0.05; done
device=$(head -n 1 "$work/sim.out")
[ -n "$device" ] || { echo "the simulated board did not start"; exit 1; }

echo "Simulated PIC16F88 board on $device"
echo "\$ fernbow-cli --port $device --wait 10 examples/blink16f88.hex"
status=0
"$build"/cli/fernbow-cli --port "$device" --wait 10 "$build"/examples/blink16f88.hex || status=$?
wait "$sim_pid" || true
sim_pid=""

if [ $status -eq 0 ] && [ -s "$work/flash.hex" ]; then
  echo
  echo "The board's flash now starts with (jump to the bootloader, then the program):"
  head -n 3 "$work/flash.hex"
fi
exit $status
