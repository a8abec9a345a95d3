#!/usr/bin/env bash
# Installs what is missing, builds and runs every test: a plain build, then
# ASan+UBSan, then ThreadSanitizer for everything that builds without Qt
# (platform layer, serial line core, simulator), since Qt is not
# instrumented, then 20 seconds of each fuzzer. Prints each ctest summary;
# fails if any run fails.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)
status=0

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
  ctest --preset "$preset" -j "$jobs" --no-tests=error "$@" || status=1
}

run debug
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run asan
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  run tsan

# A short libFuzzer run of every fuzz target (clang build of the Qt-free
# parts); a crash or broken invariant fails the script.
echo "=== fuzz"
scripts/fuzz.sh 20 || status=1

exit $status
