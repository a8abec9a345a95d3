#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a plain build, then
# ASan+UBSan, then 20 seconds of each fuzzer, then ThreadSanitizer for
# everything that builds without Qt (platform layer, serial line core,
# dialogue, command line, simulator), since Qt is not instrumented. Prints
# each ctest summary and a total at the end; fails if any run fails.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
status=0
passed=0
failed=0
log=$(mktemp)
trap 'rm -f "$log"' EXIT

run() {
  local preset=$1
  shift
  echo "=== $preset build"
  if ! scripts/build.sh "$preset"; then
    echo "=== $preset build FAILED"
    status=1
    return
  fi
  echo "=== $preset tests"
  ctest --preset "$preset" -j "$jobs" --no-tests=error "$@" | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  # "N% tests passed, F tests failed out of T"
  local counts
  counts=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$log")
  if [ -n "$counts" ]; then
    set -- $counts
    failed=$((failed + $1))
    passed=$((passed + $2 - $1))
  fi
}

run debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run asan

# A short libFuzzer run of every fuzz target (clang build of the Qt-free
# parts); a crash or broken invariant fails the script.
echo "=== fuzz"
scripts/fuzz.sh 20 || status=1

TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run tsan

echo "=== all builds"
echo "Total: $passed passed, $failed failed"
exit $status
