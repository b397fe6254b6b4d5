#!/usr/bin/env bash
# Builds and runs every test: a normal build, an AddressSanitizer+UndefinedBehaviorSanitizer build,
# a ThreadSanitizer build of the tests that exercise threads, and a short fuzz run. After each stage
# a line sums it up (ctest's own result line, with the build and test times); all of them again at
# the end.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
summaries=()
build_seconds=0
configure_and_build() {
  local dir=$1; shift
  local start=$SECONDS
  cmake -S . -B "build/$dir" -G Ninja "$@" > /dev/null
  cmake --build "build/$dir" -j "$jobs"
  build_seconds=$((SECONDS - start))
}
run_tests() {
  local dir=$1; shift
  local log="build/$dir/test-output.log" start=$SECONDS status=0
  echo "== tests: $dir"
  ctest --test-dir "build/$dir" -j "$jobs" --output-on-failure --timeout 300 "$@" 2>&1 | tee "$log" || status=$?
  local result
  result=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1 || true)
  summaries+=("$dir: ${result:-no result from ctest} (build ${build_seconds} s, tests $((SECONDS - start)) s)")
  echo "== ${summaries[-1]}"
  return "$status"
}

configure_and_build release
run_tests release

configure_and_build asan -DTESK_SANITIZE=address -DTESK_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_tests asan

configure_and_build tsan -DTESK_SANITIZE=thread -DTESK_BUILD_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_tests tsan -L concurrent

# A short, bounded fuzz run of the packet parsers (clang, libFuzzer, ASan).
start=$SECONDS
scripts/fuzz.sh
summaries+=("fuzz: every target passed ($((SECONDS - start)) s)")

echo "== summary"
printf '%s\n' "${summaries[@]}"
echo "all tests passed"
