#!/usr/bin/env bash
# Builds the system and runs both services as plain processes in the foreground. Their daily logs go
# to build/release/bin/Logs. Ctrl-C (or SIGTERM to this script) stops both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja > /dev/null
cmake --build build/release -j "$(nproc)"

bin=build/release/bin
pids=()
trap 'kill -TERM "${pids[@]}" 2>/dev/null || true' INT TERM
"$bin/TeskLocalSvc" &
pids+=($!)
"$bin/TeskCtrlSvc" &
pids+=($!)
echo "TeskLocalSvc (pid ${pids[0]}) and TeskCtrlSvc (pid ${pids[1]}) run; logs in $bin/Logs. Ctrl-C stops both."
# A trapped signal interrupts wait; wait again until each service has really ended.
for pid in "${pids[@]}"; do
  while kill -0 "$pid" 2>/dev/null; do
    wait "$pid" || true
  done
done
echo "both services stopped"
