#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and ASan+UBSan in build/fuzz and runs each one for a short,
# bounded time (FUZZ_SECONDS, default 20). Prints one line per target; the fuzzer's own progress goes
# to build/fuzz/logs/<target>.log and is shown only when the target fails. Exits non-zero when a target
# finds a crash, a leak, a hang or an allocation above the limit; the input that did it is left in
# build/fuzz/artifacts. CMAKE_BUILD_PARALLEL_LEVEL sets the build jobs (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

seconds=${FUZZ_SECONDS:-20}
cmake -S . -B build/fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DTESK_FUZZ=ON -DTESK_SANITIZE=address \
  -DTESK_BUILD_BENCH=OFF > /dev/null
cmake --build build/fuzz --target fuzz_targets -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

mkdir -p build/fuzz/artifacts build/fuzz/logs
status=0
for target in build/fuzz/bin/*_fuzz; do
  name=$(basename "$target")
  corpus=build/fuzz/corpus/$name
  log=build/fuzz/logs/$name.log
  mkdir -p "$corpus"
  # Inputs stay within libFuzzer's default length, so any allocation of 64 MiB is a fault.
  if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=64 \
    -artifact_prefix="build/fuzz/artifacts/$name-" "$corpus" > "$log" 2>&1; then
    echo "== fuzz: $name passed: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$log" | tail -1)"
  else
    echo "== fuzz: $name FAILED; the end of $log:" >&2
    tail -n 80 "$log" >&2
    status=1
  fi
done
exit "$status"
