#!/usr/bin/env bash
# Builds what it runs (the calculation library, both services and the service tool) and runs both
# services as plain processes in the foreground. Their daily logs go to build/release/bin/Logs.
# Ctrl-C (or SIGTERM to this script) stops both. A service that ends at once fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -G Ninja > /dev/null
cmake --build build/release -j "$(nproc)" --target brkCalcsLib TeskLocalSvc TeskCtrlSvc tesksc

bin=build/release/bin
names=(TeskLocalSvc TeskCtrlSvc)
pids=()
trap 'kill -TERM "${pids[@]}" 2>/dev/null || true' INT TERM
for name in "${names[@]}"; do
  "$bin/$name" &
  pids+=($!)
done

# A service that cannot start (installed as a service, port taken, ...) ends within moments.
sleep 1
failed=0
for i in "${!pids[@]}"; do
  if ! kill -0 "${pids[$i]}" 2>/dev/null; then
    status=0
    wait "${pids[$i]}" || status=$?
    echo "run: ${names[$i]} ended at once with exit status $status; see its log in $bin/Logs" >&2
    failed=1
  fi
done
if ((failed)); then
  kill -TERM "${pids[@]}" 2>/dev/null || true
  wait || true
  exit 1
fi

echo "TeskLocalSvc (pid ${pids[0]}) and TeskCtrlSvc (pid ${pids[1]}) run; logs in $bin/Logs. Ctrl-C stops both."
# A trapped signal interrupts wait; wait again until each service has really ended.
for pid in "${pids[@]}"; do
  while kill -0 "$pid" 2>/dev/null; do
    wait "$pid" || true
  done
done
echo "both services stopped"
