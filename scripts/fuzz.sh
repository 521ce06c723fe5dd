#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz) and runs each for a bounded time,
# starting from its committed seeds. Fails on any finding: a crash, a
# sanitizer report, a broken invariant, a leak, a timeout or running out of
# memory. The crashing input is left in build/fuzz/findings/<target>/.
#
#   scripts/fuzz.sh [seconds]     seconds per target, 60 by default
set -euo pipefail

seconds=${1:-60}
cd "$(dirname "$0")/.."
root=$PWD
jobs=$(nproc 2>/dev/null || echo 2)

cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j "$jobs"

# The settings file reader sees whole files: let them grow past the reader's
# 64 KiB buffer. A module list line is cut at 32767 bytes anyway.
max_len() {
  case "$1" in
    settings_file) echo 262144 ;;
    module_line) echo 40000 ;;
    *) echo 8192 ;;
  esac
}

failed=()
for target in settings_line settings_file module_line; do
  work=$root/build/fuzz/corpus/$target
  findings=$root/build/fuzz/findings/$target
  mkdir -p "$work" "$findings"
  log=$root/build/fuzz/$target.log
  printf '\n== Fuzzing %s for %ss\n' "$target" "$seconds"
  # New inputs go to the working corpus under build/, never to the seeds.
  if "build/fuzz/fuzz/${target}_fuzzer" "$work" "fuzz/corpus/$target" \
      -max_total_time="$seconds" -max_len="$(max_len "$target")" \
      -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
      -artifact_prefix="$findings/" >"$log" 2>&1; then
    grep -aE '^stat::number_of_executed_units|^stat::peak_rss_mb' "$log" || true
  else
    echo "FINDING in $target; the log is $log:"
    grep -aE 'ERROR|invariant failed|SUMMARY|Test unit written' "$log" | head -n 20
    failed+=("$target")
  fi
done

if [ ${#failed[@]} -ne 0 ]; then
  printf '\nFuzzing found faults in: %s\n' "${failed[*]}"
  exit 1
fi
printf '\nFuzzing found nothing in %ss per target\n' "$seconds"
