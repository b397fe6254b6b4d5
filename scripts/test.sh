#!/usr/bin/env bash
# Builds and runs every test: a normal build, an AddressSanitizer+UndefinedBehaviorSanitizer build,
# a ThreadSanitizer build of the tests that exercise threads, and a short fuzz run. Every stage runs,
# also after one has failed; after each a line sums it up (ctest's own result line, with the build and
# test times), and all of them again at the end. Exits non-zero when any stage failed.
# CMAKE_BUILD_PARALLEL_LEVEL sets the number of build and test jobs (default: every core).
set -uo pipefail
cd "$(dirname "$0")/.." || exit
scripts/install-deps.sh || exit

jobs=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}
summaries=()
failed=()
build_seconds=0

# Prints and keeps a stage's summary line; a failed stage is remembered for the end.
summarise() {
  local stage=$1 status=$2 line=$3
  summaries+=("$stage: $line")
  echo "== ${summaries[-1]}"
  ((status == 0)) || failed+=("$stage")
}

configure_and_build() {
  local dir=$1; shift
  local start=$SECONDS status=0
  { cmake -S . -B "build/$dir" -G Ninja "$@" > /dev/null && cmake --build "build/$dir" -j "$jobs"; } || status=$?
  build_seconds=$((SECONDS - start))
  return "$status"
}

run_tests() {
  local dir=$1; shift
  local log="build/$dir/test-output.log" start=$SECONDS status=0
  echo "== tests: $dir"
  ctest --test-dir "build/$dir" -j "$jobs" --output-on-failure --timeout 300 "$@" 2>&1 | tee "$log" || status=$?
  local result
  result=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  summarise "$dir" "$status" "${result:-no result from ctest} (build ${build_seconds} s, tests $((SECONDS - start)) s)"
}

# One build-and-test stage: its tests run only when it built.
stage() {
  local dir=$1; shift
  local -a configure=() tests=()
  while (($#)) && [ "$1" != -- ]; do configure+=("$1"); shift; done
  (($#)) && shift
  tests=("$@")
  if configure_and_build "$dir" "${configure[@]}"; then
    run_tests "$dir" "${tests[@]}"
  else
    summarise "$dir" 1 "build FAILED (build ${build_seconds} s)"
  fi
}

stage release

ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  stage asan -DTESK_SANITIZE=address -DTESK_BUILD_BENCH=OFF

TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  stage tsan -DTESK_SANITIZE=thread -DTESK_BUILD_BENCH=OFF -- -L concurrent

# A short, bounded fuzz run of the packet parsers (clang, libFuzzer, ASan).
start=$SECONDS
if scripts/fuzz.sh; then
  summarise fuzz 0 "every target passed ($((SECONDS - start)) s)"
else
  summarise fuzz 1 "FAILED ($((SECONDS - start)) s)"
fi

echo "== summary"
printf '%s\n' "${summaries[@]}"
if ((${#failed[@]})); then
  echo "FAILED: ${failed[*]}"
  exit 1
fi
echo "all tests passed"
