#!/usr/bin/env bash
# engine_bench prints its table on standard output, like the other benchmarks, and nothing else there:
# the lines the library prints for each montage stay out of it. Usage: EngineBenchOutputTest.sh <engine_bench>
set -uo pipefail
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
# A quick pass of one plain benchmark and of one that runs the montage.
"$1" --benchmark_filter='^(BM_OptionRecalculation|BM_UnderlyingMoveOverChain)$' --benchmark_min_time=0.01 \
  > "$scratch/out" 2> "$scratch/err" || { echo "FAIL: exit status $?: $(cat "$scratch/err")" >&2; exit 1; }
failures=0
for row in '^Benchmark +Time +CPU +Iterations' '^BM_OptionRecalculation ' '^BM_UnderlyingMoveOverChain '; do
  grep -qE "$row" "$scratch/out" || { echo "FAIL: no line '$row' on standard output" >&2; failures=$((failures + 1)); }
done
if grep -v -E '^(-+|Benchmark .*|BM_.*)$' "$scratch/out"; then
  echo "FAIL: the lines above are no part of the table" >&2
  failures=$((failures + 1))
fi
((failures == 0)) || { echo "standard output was:" >&2; cat "$scratch/out" >&2; exit 1; }
echo "engine_bench: the table, alone, on standard output"
