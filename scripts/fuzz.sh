#!/usr/bin/env bash
# Builds the "fuzz" preset (clang, libFuzzer, ASan+UBSan) and runs every
# fuzzer in fuzz/ for the given seconds each (default 60). Each starts from
# its hand-written seeds in fuzz/corpus/<target>/ and replays the regression
# inputs in fuzz/crashes/<target>/; what it learns is kept in
# build/fuzz/corpus/<target>/ (never committed), what it finds in
# build/fuzz/findings/<target>/. Fails when any fuzzer finds a crash, a
# broken invariant, a leak, a sanitizer report or an input that hangs.
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
if ! [[ $seconds =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: scripts/fuzz.sh [seconds per fuzzer]" >&2
  exit 2
fi

cmake --preset fuzz >/dev/null || exit 1
cmake --build --preset fuzz -j "$(nproc)" || exit 1

out=build/fuzz
status=0
for source in fuzz/*_fuzzer.cpp; do
  target=$(basename "$source" _fuzzer.cpp)
  corpus=$out/corpus/$target
  findings=$out/findings/$target
  log=$out/logs/$target.log
  mkdir -p "$corpus" "$findings" "$(dirname "$log")"
  inputs=("$corpus" "fuzz/corpus/$target")
  [ -d "fuzz/crashes/$target" ] && inputs+=("fuzz/crashes/$target")
  options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048
           -artifact_prefix="$findings/" -print_final_stats=1)
  # A dictionary of the target's own, else one its family shares (sim_*).
  for dict in "fuzz/$target.dict" "fuzz/${target%%_*}.dict"; do
    if [ -f "$dict" ]; then
      options+=(-dict="$dict")
      break
    fi
  done
  echo "=== fuzz $target (${seconds} s)"
  # The outer limit only guards against a fuzzer that ignores its own.
  if timeout --kill-after=10 $((seconds + 120)) \
      "$out/fuzz/${target}_fuzzer" "${options[@]}" "${inputs[@]}" >"$log" 2>&1; then
    grep -E '^stat::number_of_executed_units' "$log" | sed 's/^stat::/    /'
  else
    echo "=== fuzz $target FAILED: see $log; reproducer in $findings/"
    tail -n 40 "$log"
    status=1
  fi
done
exit $status
