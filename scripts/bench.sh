#!/usr/bin/env bash
# Builds the bench preset (optimised, with debug info), runs the benchmarks
# and the whole-process comparison, and prints one table with every target.
#
#   scripts/bench.sh [BENCHMARK_ARGS...]   e.g. --benchmark_filter=Split
#
# Results stay in build/bench: results.json (Google Benchmark), compare.txt,
# check_compare.txt and fuzz_compare.txt (whole-process timings); test files
# are kept in build/bench/data.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v cmake >/dev/null || need+=(cmake)
command -v g++ >/dev/null || need+=(g++)
command -v python3 >/dev/null || need+=(python3)
[ -f /usr/include/benchmark/benchmark.h ] || need+=(libbenchmark-dev)
source scripts/packages.sh
if [ ${#need[@]} -ne 0 ]; then
  install_group "the benchmark tools" "${need[@]}" || true
fi

cmake --preset bench >/dev/null
cmake --build build/bench -j "$(nproc 2>/dev/null || echo 2)" >/dev/null
out=build/bench
data=$out/data

echo "== Benchmarks (medians of 3 repetitions)"
"$out/bench/modtest_bench" --data="$data" --benchmark_repetitions=3 \
  --benchmark_report_aggregates_only=true --benchmark_min_time=0.2 \
  --benchmark_out="$out/results.json" --benchmark_out_format=json "$@" |
  grep -E '_median|^Benchmark|^---' || true
echo
echo "== Whole process"
bench/compare.sh "$out" "$data" | tee "$out/compare.txt"
echo
echo "== Check mode, whole process"
bench/check_compare.sh "$out" "$data" | tee "$out/check_compare.txt"
echo
echo "== The validator's fuzz loop against its floor"
bench/fuzz_compare.sh "$out" "$data" | tee "$out/fuzz_compare.txt"
echo
echo "== The same with the echo built with coverage"
bench/fuzz_compare.sh "$out" "$data" 3 2 hello "$out/bench/echo_coverage.so" 0.30 |
  tee -a "$out/fuzz_compare.txt"
echo
echo "== Summary"
python3 bench/summarize.py "$out/results.json" "$out/compare.txt"
