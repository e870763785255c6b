#!/usr/bin/env bash
# Builds and runs the tests, suite by suite:
#   linux    as shipped (warnings are errors)
#   web      the page (Emscripten) in headless Chromium against fernbow-sim
#   asan     under AddressSanitizer (leaks included) and UndefinedBehaviorSanitizer
#   fuzz     each fuzz target for a while
#   windows  the Windows build (mingw-w64) with its tests under Wine
# scripts/test.sh [SUITE...]; with none, every suite in that order.
# Ends with "fernbow: N passed, N failed, N skipped". With CI=true a test
# skipped because a tool is missing counts as failed: the deps script
# installs every tool the tests use.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
all_suites=(linux web asan fuzz windows)
suites=("$@")
((${#suites[@]})) || suites=("${all_suites[@]}")
for suite in "${suites[@]}"; do
  [[ " ${all_suites[*]} " == *" $suite "* ]] ||
    { echo "test.sh: unknown suite '$suite' (one of: ${all_suites[*]})" >&2; exit 2; }
done
bash scripts/install-deps.sh

passed=0
failed=0
skipped=0

# Adds up ctest's JUnit report: tests, failures, skips. In CI a skip whose
# output says a tool "is not installed" is a failure.
count_report() {
  local report=$1 tests bad skip missing
  tests=$(grep -o -m1 '[[:space:]]tests="[0-9]*"' "$report" | tr -dc 0-9)
  bad=$(grep -o -m1 '[[:space:]]failures="[0-9]*"' "$report" | tr -dc 0-9)
  skip=$(grep -o -m1 '[[:space:]]skipped="[0-9]*"' "$report" | tr -dc 0-9)
  missing=$(awk '/<testcase /{skip=0; tool=0} /<skipped/{skip=1} /is not installed/{tool=1}
                 /<\/testcase>/{if (skip && tool) n++} END{print n+0}' "$report")
  if [ "${CI:-}" = true ] && [ "$missing" -gt 0 ]; then
    echo "CI: $missing test(s) skipped for a missing tool count as failed"
    bad=$((bad + missing))
    skip=$((skip - missing))
  fi
  passed=$((passed + tests - bad - skip))
  failed=$((failed + bad))
  skipped=$((skipped + skip))
}

# run_suite DIR [cmake options]; BUILD_SCRIPT picks the build (default
# scripts/build.sh).
run_suite() {
  local dir=$1; shift
  echo "== build $dir"
  mkdir -p "$dir"
  if ! bash "${BUILD_SCRIPT:-scripts/build.sh}" "$dir" -DFERNBOW_WERROR=ON "$@" >"$dir/build.log" 2>&1; then
    echo "build of $dir failed; the end of $dir/build.log:"
    tail -n 60 "$dir/build.log"
    failed=$((failed + 1))
    return
  fi
  echo "== test $dir"
  local report="$root/$dir/ctest-report.xml"
  rm -f "$report"
  (cd "$dir" && ctest --output-on-failure -j 2 --timeout 300 --output-junit "$report") || true
  if [ ! -s "$report" ]; then
    echo "no test report from $dir"
    failed=$((failed + 1))
    return
  fi
  count_report "$report"
}

suite_linux() { run_suite build; }

suite_asan() {
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_suite build-asan -DFERNBOW_SANITIZE=ON
}

# The fuzz targets, each for a minute (clang and its runtime come from the
# deps script).
suite_fuzz() {
  echo "== fuzz"
  if bash scripts/fuzz.sh build-fuzz 60; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
}

# The Linux build's fernbow-sim and fernbow-cli, made first when the linux
# suite is not run; false when that build failed.
host_build() {
  mkdir -p build
  [[ " ${suites[*]} " == *" linux "* ]] && return 0
  bash scripts/build.sh build -DFERNBOW_WERROR=ON >build/build.log 2>&1 && return 0
  echo "the Linux build the $1 suite needs failed; the end of build/build.log:"
  tail -n 60 build/build.log
  failed=$((failed + 1))
  return 1
}

# The page: the engine built with Emscripten, driven in headless Chromium
# through the test port against the Linux fernbow-sim.
suite_web() {
  host_build web || return 0
  BUILD_SCRIPT=scripts/build-web.sh run_suite build-web -DFERNBOW_HOST_BUILD="$root/build"
}

# Windows: fernbow-cli.exe and the platform-neutral suites cross-built, run
# under Wine; the Linux build's e2e_tests drive fernbow-cli.exe against the
# Linux fernbow-sim, so that build is made first when the linux suite is not run.
suite_windows() {
  host_build Windows || return 0
  BUILD_SCRIPT=scripts/build-windows.sh run_suite build-windows -DFERNBOW_HOST_BUILD="$root/build"
  WINEPREFIX="$root/build-windows/wineprefix" wineserver -k 2>/dev/null || true
}

# In their fixed order, whatever the order asked.
for suite in "${all_suites[@]}"; do
  if [[ " ${suites[*]} " == *" $suite "* ]]; then "suite_$suite"; fi
done

echo "fernbow: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
