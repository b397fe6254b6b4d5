#!/usr/bin/env bash
# Builds and runs every test: a normal build, an AddressSanitizer+UndefinedBehaviorSanitizer build,
# a ThreadSanitizer build of the tests that exercise threads, and a short fuzz run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

jobs=$(nproc)
configure_and_build() {
  local dir=$1; shift
  cmake -S . -B "build/$dir" -G Ninja "$@" > /dev/null
  cmake --build "build/$dir" -j "$jobs"
}
run_tests() {
  local dir=$1; shift
  echo "== tests: $dir"
  ctest --test-dir "build/$dir" -j "$jobs" --output-on-failure --timeout 300 "$@"
}

configure_and_build release
run_tests release

configure_and_build asan -DTESK_SANITIZE=address -DTESK_BUILD_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 run_tests asan

configure_and_build tsan -DTESK_SANITIZE=thread -DTESK_BUILD_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 run_tests tsan -L concurrent

# A short, bounded fuzz run of the packet parsers (clang, libFuzzer, ASan).
scripts/fuzz.sh

echo "all tests passed"
