#!/usr/bin/env bash
# The test command's control flow, with its stages stubbed: a copy of scripts/test.sh runs in a scratch
# tree whose cmake, ctest, dependency install and fuzz run are fakes that note how they were called and
# fail where the case says. Usage: TestCommandTest.sh <source folder>
set -uo pipefail
source_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The scratch tree: the script under test beside stubbed helpers, and the fakes on PATH.
mkdir -p "$scratch/tree/scripts" "$scratch/fakes"
cp "$source_dir/scripts/test.sh" "$scratch/tree/scripts/"
printf '#!/bin/sh\nexit 0\n' > "$scratch/tree/scripts/install-deps.sh"
cat > "$scratch/tree/scripts/fuzz.sh" <<'FAKE'
#!/bin/sh
echo "fuzz" >> "$CALLS"
[ "${FAIL_FUZZ:-}" != 1 ]
FAKE
cat > "$scratch/fakes/cmake" <<'FAKE'
#!/bin/sh
# "cmake -S . -B build/<dir> ..." configures; "cmake --build build/<dir> -j <n>" builds.
if [ "$1" = --build ]; then
  echo "build $2 $3 $4" >> "$CALLS"
  [ "$2" != "build/${FAIL_BUILD:-}" ]
else
  mkdir -p "$4"
fi
FAKE
cat > "$scratch/fakes/ctest" <<'FAKE'
#!/bin/sh
# "ctest --test-dir build/<dir> -j <n> ...": ctest's result line, failing where asked.
echo "tests $2 $3 $4" >> "$CALLS"
if [ "$2" = "build/${FAIL_TESTS:-}" ]; then
  echo "90% tests passed, 1 tests failed out of 10"
  exit 8
fi
echo "100% tests passed, 0 tests failed out of 10"
FAKE
chmod +x "$scratch"/tree/scripts/*.sh "$scratch"/fakes/*
export CALLS="$scratch/calls"

# The environment of each run: only what the command needs, nothing of the caller's (its
# CMAKE_BUILD_PARALLEL_LEVEL, a FAIL_* of the fakes, OMP_NUM_THREADS that nproc heeds ...).
clean_env=(env -i PATH="$scratch/fakes:$PATH" CALLS="$CALLS")

# Runs the test command with the given environment; sets status, output and calls.
run() {
  rm -f "$CALLS"
  status=0
  output=$(cd "$scratch/tree" && "${clean_env[@]}" "$@" scripts/test.sh 2>&1) || status=$?
  calls=$(cat "$CALLS" 2>/dev/null)
}

# The summary block: everything after the "== summary" line, with each time as "N s".
summary() {
  sed -n '/^== summary$/,$p' <<< "$output" | tail -n +2 | sed -E 's/[0-9]+ s\b/N s/g'
}

expect_all_stages_ran() {
  local jobs=$1
  local expected="build build/release -j $jobs
tests build/release -j $jobs
build build/asan -j $jobs
tests build/asan -j $jobs
build build/tsan -j $jobs
tests build/tsan -j $jobs
fuzz"
  [ "$calls" = "$expected" ] || fail "$what: stages called:"$'\n'"$calls"$'\n'"expected:"$'\n'"$expected"
}

what="every stage passes"
run CMAKE_BUILD_PARALLEL_LEVEL=3
((status == 0)) || fail "$what: exit status $status"
expect_all_stages_ran 3
[ "$(summary)" = "release: 100% tests passed, 0 tests failed out of 10 (build N s, tests N s)
asan: 100% tests passed, 0 tests failed out of 10 (build N s, tests N s)
tsan: 100% tests passed, 0 tests failed out of 10 (build N s, tests N s)
fuzz: every target passed (N s)
all tests passed" ] || fail "$what: summary:"$'\n'"$(summary)"

# A failing stage fails the command, but every later stage still runs and the summary names it.
for failing in "FAIL_TESTS=release:release: 90% tests passed, 1 tests failed out of 10" \
               "FAIL_TESTS=asan:asan: 90% tests passed, 1 tests failed out of 10" \
               "FAIL_TESTS=tsan:tsan: 90% tests passed, 1 tests failed out of 10" \
               "FAIL_FUZZ=1:fuzz: FAILED"; do
  setting=${failing%%:*} line=${failing#*:}
  stage=${line%%:*}
  what="$setting"
  run CMAKE_BUILD_PARALLEL_LEVEL=2 "$setting"
  ((status != 0)) || fail "$what: exit status 0"
  expect_all_stages_ran 2
  grep -qF "$line" <<< "$(summary)" || fail "$what: summary has no line '$line':"$'\n'"$(summary)"
  [ "$(summary | tail -n 1)" = "FAILED: $stage" ] || fail "$what: last line: $(summary | tail -n 1)"
done

what="asan does not build"
run FAIL_BUILD=asan
((status != 0)) || fail "$what: exit status 0"
jobs=$("${clean_env[@]}" nproc)
expected="build build/release -j $jobs
tests build/release -j $jobs
build build/asan -j $jobs
build build/tsan -j $jobs
tests build/tsan -j $jobs
fuzz"
[ "$calls" = "$expected" ] || fail "$what: stages called:"$'\n'"$calls"
grep -qx "asan: build FAILED (build N s)" <<< "$(summary)" || fail "$what: summary:"$'\n'"$(summary)"
[ "$(summary | tail -n 1)" = "FAILED: asan" ] || fail "$what: last line: $(summary | tail -n 1)"

what="two stages fail"
run FAIL_BUILD=release FAIL_FUZZ=1
((status != 0)) || fail "$what: exit status 0"
[ "$(summary | tail -n 1)" = "FAILED: release fuzz" ] || fail "$what: last line: $(summary | tail -n 1)"

if ((failures)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "test command: every check passed"
