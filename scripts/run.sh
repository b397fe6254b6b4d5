#!/usr/bin/env bash
# Builds the system and runs its main job. Until the services exist this runs the pricing benchmarks.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja > /dev/null
cmake --build build/release -j "$(nproc)"
for bench in build/release/bin/*_bench; do
  [ -x "$bench" ] && "$bench"
done
