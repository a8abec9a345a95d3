#!/usr/bin/env bash
# Configures and builds one preset (debug, release, asan, tsan) with Ninja:
# everything, or only the targets named after the preset.
#   scripts/build.sh release morvel kestrix-sim
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-debug}
shift || true
cmake --preset "$preset" >/dev/null
if [ $# -gt 0 ]; then
  cmake --build --preset "$preset" -j "$(nproc)" --target "$@"
else
  cmake --build --preset "$preset" -j "$(nproc)"
fi
