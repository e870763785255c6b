#!/usr/bin/env bash
# Builds everything and runs every test: once as shipped (warnings are
# errors), once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

passed=0
failed=0
run_suite() {
  local dir=$1; shift
  echo "== build $dir"
  if ! bash scripts/build.sh "$dir" -DFERNBOW_WERROR=ON "$@"; then
    echo "build of $dir failed"
    failed=$((failed + 1))
    return
  fi
  echo "== test $dir"
  local log="$dir/ctest-summary.log"
  (cd "$dir" && ctest --output-on-failure -j 2 --timeout 300) | tee "$log" || true
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
  if [ -z "$line" ]; then
    echo "no test summary from $dir"
    failed=$((failed + 1))
    return
  fi
  bad=$(sed -E 's/.* ([0-9]+) tests? failed out of.*/\1/' <<<"$line")
  total=$(sed -E 's/.*failed out of ([0-9]+).*/\1/' <<<"$line")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}

run_suite build
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
run_suite build-asan -DFERNBOW_SANITIZE=ON

echo "fernbow: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
