#!/usr/bin/env bash
# The run command against built services (copied with the library into a scratch folder, under a
# scratch platform root), never building: a service that cannot listen, one that dies while both run
# (its daily log holds the first case's error, which is not its own), and a clean stop.
# Usage: RunCommandTest.sh <source folder> <folder of the built executables>
set -uo pipefail
source_dir=$1
built=$2
scratch=$(mktemp -d)
holder=
script=
cleanup() {
  [ -z "$script" ] || kill -TERM "$script" 2>/dev/null
  [ -z "$holder" ] || kill "$holder" 2>/dev/null
  kill_leftovers
  rm -rf "$scratch"
}
# The services the cases started, should a case leave one behind.
kill_leftovers() {
  local pid
  for pid in $(cat "$scratch"/pids 2>/dev/null); do kill -KILL "$pid" 2>/dev/null; done
}
trap cleanup EXIT
failures=0
fail() {
  echo "FAIL: $what: $*" >&2
  failures=$((failures + 1))
}

mkdir -p "$scratch/bin" "$scratch/root"
cp "$built/TeskLocalSvc" "$built/TeskCtrlSvc" "$built/libbrkcalcslib.so" "$scratch/bin/"
export TESK_RUN_BIN="$scratch/bin" TESK_PLATFORM_ROOT="$scratch/root"

# Starts the run command in the background with the ports given; its output goes to files. The logs
# of earlier cases stay, as a day's earlier runs stay in its log.
start_run() {
  TESK_TEST_CALCS_PORT=$1 TESK_TEST_CTRL_PORT=$2 "$source_dir/scripts/run.sh" > "$scratch/out" 2> "$scratch/err" &
  script=$!
}

# Waits at most $1 seconds for the run command to end; sets status (-1 when it did not end).
finish_run() {
  local limit=$(($1 * 10))
  while kill -0 "$script" 2>/dev/null && ((limit-- > 0)); do sleep 0.1; done
  if kill -0 "$script" 2>/dev/null; then
    status=-1
    kill -TERM "$script"
  else
    status=0
    wait "$script" || status=$?
  fi
  script=
}

# The pid the "listen" line gives for a service; waits at most 30 s for the line.
listening_pid() {
  local limit=300
  until grep -q ' listen; ' "$scratch/out" || ((limit-- == 0)); do sleep 0.1; done
  sed -nE "s/.*$1 \(pid ([0-9]+)\).*/\1/p" "$scratch/out" | head -n 1
}

# Starts the run command on free ports and sets ctrl and calcs to the pids its "listen" line gives;
# false (after a failure) when the line does not come.
start_both() {
  start_run 0 0
  ctrl=$(listening_pid TeskCtrlSvc)
  calcs=$(listening_pid TeskLocalSvc)
  echo "$ctrl $calcs" > "$scratch/pids"
  [ -n "$ctrl" ] && [ -n "$calcs" ] && return
  fail "no listen line: $(cat "$scratch/out" "$scratch/err")"
  return 1
}

what="a port that is taken"
perl -MIO::Socket::INET -e '
  my $s = IO::Socket::INET->new(LocalAddr => "127.0.0.1", LocalPort => 0, Listen => 1) or die "listen: $!";
  print $s->sockport, "\n"; STDOUT->flush; sleep 600' > "$scratch/port" &
holder=$!
until [ -s "$scratch/port" ]; do sleep 0.05; done
port=$(cat "$scratch/port")
start_run "$port" 0
finish_run 60
((status > 0)) || fail "exit status $status"
grep -qE "^run: TeskLocalSvc \(pid [0-9]+\) ended with exit status 1$" "$scratch/err" || fail "no end line: $(cat "$scratch/err")"
grep -qE "^run: the last error in its log: \[.*\] \[error\] .*: Main thread has ended before its server listened: bind 127\.0\.0\.1:$port: Address already in use$" \
  "$scratch/err" || fail "no error line: $(cat "$scratch/err")"
grep -q "listen; " "$scratch/out" && fail "it said both listen: $(cat "$scratch/out")"
pgrep -f "$scratch/bin/TeskCtrlSvc" > /dev/null && fail "TeskCtrlSvc still runs"
kill "$holder"
holder=

what="a service that dies while both run"
if start_both; then
  kill -KILL "$calcs"
  finish_run 60
  ((status > 0)) || fail "exit status $status"
  grep -qx "run: TeskLocalSvc (pid $calcs) ended with exit status 137" "$scratch/err" || fail "no end line: $(cat "$scratch/err")"
  # Its only error could be its updater's, 15 s after its start; the bind error is the first case's.
  grep -qxE "run: (it logged no error|the last error in its log: .*can't launch autoupdater ! 2)" "$scratch/err" ||
    fail "quoted: $(cat "$scratch/err")"
  kill -0 "$ctrl" 2>/dev/null && fail "TeskCtrlSvc still runs"
fi

what="a stop of the run command"
if start_both; then
  # Each service listens when the line says so.
  for pid in "$ctrl" "$calcs"; do
    inode=$(find "/proc/$pid/fd" -lname 'socket:*' -printf '%l\n' | tr -dc '0-9\n' |
            while read -r i; do awk -v i="$i" '$4 == "0A" && $10 == i { print i }' /proc/net/tcp; done)
    [ -n "$inode" ] || fail "pid $pid does not listen"
  done
  kill -TERM "$script"
  finish_run 60
  ((status == 0)) || fail "exit status $status: $(cat "$scratch/err")"
  [ "$(tail -n 1 "$scratch/out")" = "both services stopped" ] || fail "last line: $(tail -n 1 "$scratch/out")"
  for pid in "$ctrl" "$calcs"; do kill -0 "$pid" 2>/dev/null && fail "pid $pid still runs"; done
fi

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "run command: every check passed"
