#!/usr/bin/env bash
# Runs a Windows program under Wine (RUNNER PROGRAM ARGUMENTS...) from the
# program's own folder, with its output sent to a file and shown once it has
# ended: a Wine server keeps a pipe open long after the program has ended,
# and ctest would wait for the pipe. The exit code is the program's.
set -u
runner=$1
program=$2
shift 2
scratch=$(mktemp -d)
status=0
(cd "$(dirname "$program")" && "$runner" "./$(basename "$program")" "$@" \
  >"$scratch/output" 2>&1 </dev/null) || status=$?
cat "$scratch/output"
rm -rf "$scratch"
exit "$status"
