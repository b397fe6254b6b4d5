#!/usr/bin/env bash
# Builds what it runs (the calculation library, both services and the service tool) in build/release
# and runs both services as plain processes in the foreground; their daily logs go to <bin>/Logs.
# Waits until each service listens, then until Ctrl-C (or SIGTERM to this script) stops both. A service
# that ends while the script runs (it could not listen, it failed, it was stopped alone) fails the
# script: it says which, with the exit status and the last error line it logged, and stops the other.
# TESK_RUN_BIN=<folder>: run the executables of that folder as they are, building nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
bin=${TESK_RUN_BIN:-}
if [ -z "$bin" ]; then
  scripts/install-deps.sh
  cmake -S . -B build/release -G Ninja > /dev/null
  cmake --build build/release -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" \
    --target brkCalcsLib TeskLocalSvc TeskCtrlSvc tesksc
  bin=build/release/bin
fi

names=(TeskLocalSvc TeskCtrlSvc)
pids=()
stopping=0
# The size of each log file before the services started: a daily log holds earlier runs' lines too.
declare -A logged_before=()
for log in "$bin/Logs/"*.log; do
  [ ! -f "$log" ] || logged_before[$log]=$(stat -c %s "$log")
done
trap 'stopping=1; kill -TERM "${pids[@]}" 2>/dev/null || true' INT TERM
for name in "${names[@]}"; do
  "$bin/$name" &
  pids+=($!)
done

# Whether the process holds a listening TCP socket: one of its descriptors is a socket that
# /proc/net/tcp lists in state LISTEN (0A).
listens() {
  local inodes
  inodes=$(find "/proc/$1/fd" -lname 'socket:*' -printf '%l\n' 2>/dev/null | tr -dc '0-9\n')
  [ -n "$inodes" ] || return 1
  awk -v inodes="$inodes" 'BEGIN { n = split(inodes, list, "\n"); for (i = 1; i <= n; i++) own[list[i]] = 1 }
    FNR > 1 && $4 == "0A" && ($10 in own) { found = 1 } END { exit !found }' /proc/net/tcp
}

# The last error (or fatal) record that the service logged since it started, as a line to print: what
# its log files (oldest first, a new day's too) gained since then.
last_error() {
  local log size before line last=
  while IFS= read -r log; do
    size=$(stat -c %s "$log" 2>/dev/null) || continue
    before=${logged_before[$log]:-0}
    ((size >= before)) || before=0  # begun anew since
    line=$(tail -c "+$((before + 1))" "$log" | grep -E '^\[[^]]*\] \[(error|fatal)\]' | tail -n 1) || true
    last=${line:-$last}
  done < <(ls -tr "$bin/Logs/$1"*.log 2>/dev/null)
  if [ -n "$last" ]; then
    echo "the last error in its log: $last"
  else
    echo "it logged no error"
  fi
}

# Waits (without wait, which a trapped signal would cut short) until the process has ended.
await_end() {
  while kill -0 "$1" 2>/dev/null; do sleep 0.1 || true; done
}

# Says which service ended and how, stops the other, waits for it and fails.
ended() {
  local i=$1 status=0 pid
  wait "${pids[$i]}" || status=$?
  echo "run: ${names[$i]} (pid ${pids[$i]}) ended with exit status $status" >&2
  echo "run: $(last_error "${names[$i]}")" >&2
  kill -TERM "${pids[@]}" 2>/dev/null || true
  for pid in "${pids[@]}"; do await_end "$pid"; done
  echo "run: the other service is stopped too; logs in $bin/Logs" >&2
  exit 1
}

# Whether a service has ended while no stop was asked for: then ended reports it and fails the script.
check_running() {
  ((stopping)) || kill -0 "${pids[$1]}" 2>/dev/null || ended "$1"
}

# Until each service listens (or has ended).
ready=(0 0)
while ((!stopping && ready[0] + ready[1] < 2)); do
  for i in "${!pids[@]}"; do
    check_running "$i"
    ((ready[i] || stopping)) || ! listens "${pids[$i]}" || ready[i]=1
  done
  sleep 0.1 || true
done

if ((!stopping)); then
  echo "TeskLocalSvc (pid ${pids[0]}) and TeskCtrlSvc (pid ${pids[1]}) listen; logs in $bin/Logs. Ctrl-C stops both."
fi
while ((!stopping)); do
  for i in "${!pids[@]}"; do check_running "$i"; done
  sleep 0.2 || true
done

# Stopped by a signal: wait until each service has really ended.
failed=0
for i in "${!pids[@]}"; do
  await_end "${pids[$i]}"
  status=0
  wait "${pids[$i]}" || status=$?
  if ((status != 0)); then
    echo "run: ${names[$i]} ended with exit status $status; $(last_error "${names[$i]}")" >&2
    failed=1
  fi
done
((!failed)) || exit 1
echo "both services stopped"
