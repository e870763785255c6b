#!/usr/bin/env bash
# Builds everything and runs every test: once as shipped (warnings are
# errors), once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/install-deps.sh

status=0
run_suite() {
  local dir=$1; shift
  echo "== build $dir"
  bash scripts/build.sh "$dir" -DFERNBOW_WERROR=ON "$@"
  echo "== test $dir"
  (cd "$dir" && ctest --output-on-failure -j 2 --timeout 300) || status=1
}
run_suite build
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run_suite build-asan -DFERNBOW_SANITIZE=ON
exit $status
