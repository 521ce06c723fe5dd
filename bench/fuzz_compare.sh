#!/usr/bin/env bash
# The validator's fuzz loop, inside its child process, against
# bench/fuzz_floor.c, a C loop that does the least a fuzzed request needs
# (change a byte, copy into a fresh block, call request, free the reply),
# both with the echo sample. Prints each round's requests per second and
# the loop's median share of the floor's median, which must be at least a
# half.
#
#   bench/fuzz_compare.sh BUILD_DIR DATA_DIR [ROUNDS] [SECONDS] [STRING] [MODULE] [TARGET]
#
# BUILD_DIR is a tree of the bench preset; DATA_DIR receives the run folder.
# STRING is test.ini's request as the file writes it ("hello" by default):
# a request of lines there has the fuzzer keep its shape. MODULE is the
# module file both run (the echo sample by default; BUILD_DIR/bench/echo_coverage.so
# is the same built with coverage), TARGET the share of the floor the loop
# must reach (0.50 by default).
set -euo pipefail

build=$(cd "$1" && pwd)
mkdir -p "$2"
data=$(cd "$2" && pwd)
rounds=${3:-3}
seconds=${4:-2}
string=${5:-hello}
module=${6:-$build/examples/echo.so}
target=${7:-0.50}

folder=$data/fuzz
mkdir -p "$folder"
cp "$build/src/modtest" "$build/bench/modtest_fuzz_floor" "$folder/"
cp "$module" "$folder/echo.so"
printf 'echo : echo.so\n' >"$folder/saori.ini"
printf 'string:%s\nsaori:echo\n' "$string" >"$folder/test.ini"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

floor_rates=()
loop_rates=()
for round in $(seq "$rounds"); do
  floor_rates+=("$("$folder/modtest_fuzz_floor" "$folder/echo.so" "$seconds" | awk '{ print $1 }')")
  report=$(cd "$folder" && ./modtest --validate --module echo --seed "$round" \
    --fuzz-seconds "$seconds" 2>/dev/null || true)
  loop_rates+=("$(printf '%s\n' "$report" | awk '
    /^ok 4 - echo: fuzz/ { in_fuzz = 1 }
    in_fuzz && $1 == "requests:" { requests = $2 }
    in_fuzz && $1 == "seconds:" { print int(requests / $2); exit }')")
  echo "round $round: floor ${floor_rates[-1]} requests/s, fuzz loop ${loop_rates[-1]} requests/s"
done
floor=$(printf '%s\n' "${floor_rates[@]}" | median)
loop=$(printf '%s\n' "${loop_rates[@]}" | median)
awk -v floor="$floor" -v loop="$loop" -v target="$target" 'BEGIN {
  printf "median: floor %d requests/s, fuzz loop %d requests/s: %.2f of the floor (target: at least %s)\n",
         floor, loop, loop / floor, target
}'
