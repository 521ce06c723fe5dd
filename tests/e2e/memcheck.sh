#!/bin/sh
# Runs a command under valgrind's memcheck and exits 99 on any finding: an
# invalid read or write, a decision on an uninitialised value, or a byte
# definitely lost. Bytes still reachable at exit are not findings: a library
# whose binding failed stays mapped on purpose. memcheck.supp lists what is
# known to be harmless outside modtest.
exec "${MODTEST_VALGRIND:-valgrind}" --quiet --error-exitcode=99 --leak-check=full \
  --show-leak-kinds=definite --errors-for-leak-kinds=definite \
  --suppressions="$(dirname "$0")/memcheck.supp" "$@"
