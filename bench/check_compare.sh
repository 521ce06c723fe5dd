#!/usr/bin/env bash
# The check mode timed as a whole process: `modtest --check` on files of
# 10,000, 100,000 and 1,000,000 cases for the echo sample, against
# bench/check_floor.c, a C program that reads the same file with fgets,
# makes the same calls, compares with memcmp and prints the same TAP lines.
# Prints per program and size the median wall time, the time per case and
# peak memory; then the ratio to the floor and how the time per case grows
# with each tenfold file.
#
#   bench/check_compare.sh BUILD_DIR DATA_DIR [ROUNDS]
#
# BUILD_DIR is a tree of the bench preset; DATA_DIR receives the run folder.
set -euo pipefail

build=$(cd "$1" && pwd)
mkdir -p "$2"
data=$(cd "$2" && pwd)
rounds=${3:-11}
timer=$build/bench/process_timer

folder=$data/check
mkdir -p "$folder"
cp "$build/src/modtest" "$build/bench/modtest_check_floor" "$build/examples/echo.so" "$folder/"
printf 'echo : echo.so\n' >"$folder/saori.ini"
sizes=(10000 100000 1000000)
for count in "${sizes[@]}"; do
  awk -v n="$count" 'BEGIN {
    print "module: echo"
    for (i = 1; i <= n; ++i) printf "request: request number %d\nreply: request number %d\n\n", i, i
  }' >"$folder/cases-$count.txt"
  if ! cmp -s <("$folder/modtest" --check "$folder/cases-$count.txt" 2>/dev/null) \
    <("$folder/modtest_check_floor" "$folder/cases-$count.txt"); then
    echo "ERROR: the floor program does not print what the tool prints for $count cases" >&2
    exit 1
  fi
done

printf '%-8s %-8s %12s %12s %10s\n' cases program median_ms us_per_case peak_KiB
declare -A per_case
for count in "${sizes[@]}"; do
  file=$folder/cases-$count.txt
  {
    read -r tool_median tool_least tool_peak
    read -r floor_median floor_least floor_peak
  } < <("$timer" "$rounds" -- "$folder/modtest" --check "$file" -- "$folder/modtest_check_floor" "$file")
  awk -v c="$count" -v tm="$tool_median" -v tp="$tool_peak" -v fm="$floor_median" -v fp="$floor_peak" 'BEGIN {
    printf "%-8d %-8s %12.2f %12.3f %10d\n", c, "modtest", tm * 1e3, tm * 1e6 / c, tp
    printf "%-8d %-8s %12.2f %12.3f %10d\n", c, "floor", fm * 1e3, fm * 1e6 / c, fp
    printf "%-8d ratio    %12.2f   (target: <= 2)\n", c, tm / fm
  }'
  per_case[$count]=$(awk -v t="$tool_median" -v c="$count" 'BEGIN { print t / c }')
done
for step in "10000 100000" "100000 1000000"; do
  read -r small large <<<"$step"
  awk -v s="$small" -v l="$large" -v a="${per_case[$small]}" -v b="${per_case[$large]}" 'BEGIN {
    printf "time per case, %d cases / %d cases: %.2f   (target: <= 1.3)\n", l, s, b / a
  }'
done
