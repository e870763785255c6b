#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while:
#   scripts/fuzz.sh DIR [SECONDS=60]
# Seeds: the real-world HEX files, the loader's table of cases, a board
# session. Inputs that grow coverage are kept in DIR/corpus/<target>; a
# crash is left in DIR as crash-* and fails the script. Prints executions
# and coverage per target.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$1
seconds=${2:-60}
cd "$root"

if ! command -v clang++ >/dev/null; then
  echo "fuzz: SKIP: clang++ is not installed"
  [ "${CI:-}" != true ]  # a failure in CI: the deps script installs clang
  exit
fi
mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
if ! { cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
         -DFERNBOW_FUZZ=ON -DBUILD_TESTING=OFF -DFERNBOW_GUI=OFF &&
       cmake --build "$dir" --target fuzz -j "$(nproc)"; } >"$dir/build.log" 2>&1; then
  echo "fuzz: build of $dir failed; the end of $dir/build.log:"
  tail -n 60 "$dir/build.log"
  exit 1
fi

corpus=$(sed -n 's/^FERNBOW_HEXCORPUS:PATH=//p' "$dir/CMakeCache.txt")
seeds="$dir/seeds"
rm -rf "$seeds"
mkdir -p "$seeds/hex" "$seeds/session"
"$dir/tests/fuzz/fuzz_seeds" "$seeds/hex" "$seeds/session"
# Seeds from the real-world corpus where it is beside the checkout, and the
# examples the build assembled.
for hex in "$corpus"/*.hex "$dir"/examples/*.hex; do
  if [ -f "$hex" ]; then cp "$hex" "$seeds/hex/"; fi
done

status=0
for target in fuzz_hex_loader fuzz_programming_run fuzz_sim_bootloader; do
  seed="$seeds/hex"
  [ "$target" = fuzz_sim_bootloader ] && seed="$seeds/session"
  mkdir -p "$dir/corpus/$target"
  log="$dir/$target.log"
  if (cd "$dir" && "./tests/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 -max_len=65536 \
        -timeout=10 -rss_limit_mb=2048 "corpus/$target" "$seed") >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    cov=$(grep -o 'cov: [0-9]* ft: [0-9]*' "$log" | tail -1)
    echo "fuzz $target: ok, $runs executions in ${seconds} s, $cov, corpus $(ls "$dir/corpus/$target" | wc -l) inputs"
  else
    echo "fuzz $target: FAILED; the end of $log:"
    tail -n 40 "$log"
    status=1
  fi
done
exit $status
