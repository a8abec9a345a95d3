#!/usr/bin/env bash
# Installs what is missing, builds Morvel and starts it.
#   scripts/run.sh             Morvel with a simulated Kestrix as COM1
#   scripts/run.sh /dev/ttyX   Morvel with the device /dev/ttyX as COM1
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
# Only the two programs it starts: the tests and benchmarks are not needed here.
scripts/build.sh release morvel kestrix-sim
bin=build/release

ports=$(mktemp -d "${TMPDIR:-/tmp}/morvel-ports-XXXXXX")
export MORVEL_PORTS=$ports
sim_pid=
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$ports"
}
trap cleanup EXIT INT TERM

if [ $# -ge 1 ]; then
  ln -s "$1" "$ports/com1"
  echo "COM1 is $1"
elif [ -x "$bin/tools/kestrix-sim/kestrix-sim" ]; then
  "$bin/tools/kestrix-sim/kestrix-sim" --com 1 --state tools/kestrix-sim/sample-state.json &
  sim_pid=$!
  for _ in $(seq 50); do [ -e "$ports/com1" ] && break; sleep 0.1; done
  echo "COM1 is the simulated Kestrix"
fi

"$bin/src/app/morvel"
