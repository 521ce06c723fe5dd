#!/usr/bin/env bash
# Whole-process comparison. Runs, taking turns, the real tool and a
# reference on the same input, and prints their wall times, peak memory and
# ratios:
#   demo           the sample settings and the echo module, against the floor
#                  program (bench/floor.c), which does only what such a run
#                  must: read the two files, bind the module, call it, print
#   long-value,    the 64 MiB settings files, against `wc -l` on the same
#   dict-lines,    file; the tool finds no module list there, so its run is
#   distinct-keys  the settings phase with the report sent to /dev/null
#
#   bench/compare.sh BUILD_DIR DATA_DIR [ROUNDS]
#
# BUILD_DIR is a tree of the bench preset; DATA_DIR receives the run folders
# (the settings files are written there when missing). Timing is done by
# bench/process_timer.c: fork, exec, wait4; wall time by the monotonic clock,
# peak memory from the child's rusage (ru_maxrss). Medians over ROUNDS.
set -euo pipefail

build=$(cd "$1" && pwd)
mkdir -p "$2"
data=$(cd "$2" && pwd)
rounds=${3:-41}
timer=$build/bench/process_timer

"$build/bench/modtest_bench" --data="$data" --make-files

# The demo: the sample settings and one module, beside both programs.
demo=$data/demo
mkdir -p "$demo"
cp "$build/src/modtest" "$build/bench/modtest_floor" "$build/examples/echo.so" "$demo/"
cp "$(dirname "$0")/../examples/test.ini" "$demo/test.ini"
printf 'echo : echo.so\n' >"$demo/saori.ini"
if ! cmp -s <("$demo/modtest") <("$demo/modtest_floor"); then
  echo "ERROR: the floor program does not print what the tool prints for the demo" >&2
  diff <("$demo/modtest") <("$demo/modtest_floor") >&2 || true
  exit 1
fi

printf '%-14s %-8s %12s %12s %10s %10s\n' case program median_ms least_ms peak_KiB bytes
report() {  # case, file size, then the timer's two lines (tool, reference)
  local name=$1 size=$2 reference=$3
  local -a tool other
  read -r -a tool
  read -r -a other
  awk -v n="$name" -v r="$reference" -v s="$size" \
    -v tm="${tool[0]}" -v tl="${tool[1]}" -v tp="${tool[2]}" \
    -v om="${other[0]}" -v ol="${other[1]}" -v op="${other[2]}" 'BEGIN {
    printf "%-14s %-8s %12.3f %12.3f %10d %10d\n", n, "modtest", tm * 1e3, tl * 1e3, tp, s
    printf "%-14s %-8s %12.3f %12.3f %10d %10d\n", n, r, om * 1e3, ol * 1e3, op, s
    printf "%-14s ratio    %12.3f %12.3f %10.3f", n, tm / om, tl / ol, tp / op
    if (s > 0) printf "   modtest %.0f MB/s, %s %.0f MB/s, peak/file %.2f", s / tm / 1e6, r, s / om / 1e6, tp * 1024 / s
    printf "\n"
  }'
}

"$timer" "$rounds" -- "$demo/modtest" -- "$demo/modtest_floor" | report demo 0 floor
for name in long-value dict-lines distinct-keys; do
  folder=$data/$name
  cp "$build/src/modtest" "$folder/"
  rm -f "$folder/saori.ini"
  size=$(stat -c %s "$folder/test.ini")
  "$timer" $(((rounds + 3) / 4)) -- "$folder/modtest" -- wc -l "$folder/test.ini" |
    report "$name" "$size" "wc-l"
done

# The same runs with glibc's malloc asking for transparent huge pages (no
# change to the tool): how much of the gap to `wc -l` is the kernel handing
# out and zeroing fresh 4 KiB pages. Nothing changes where THP is off.
for name in long-value dict-lines; do
  folder=$data/$name
  GLIBC_TUNABLES=glibc.malloc.hugetlb=1 "$timer" $(((rounds + 3) / 4)) -- "$folder/modtest" -- \
    wc -l "$folder/test.ini" | report "$name+thp" "$(stat -c %s "$folder/test.ini")" "wc-l"
done
