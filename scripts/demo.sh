#!/usr/bin/env bash
# Builds modtest and the sample modules, lays out a demo folder with the
# sample test.ini and saori.ini beside them, and runs one test with the echo
# module, then one that asks the lookup module.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null; then
  if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends cmake g++ make >/dev/null
  fi
fi

cmake --preset native -DMODTEST_BUILD_TESTS=OFF -DMODTEST_BUILD_PROBES=OFF -B build/demo >/dev/null
cmake --build build/demo -j "$(nproc 2>/dev/null || echo 2)" --target modtest echo_module lookup_module >/dev/null

rm -rf demo
mkdir -p demo
cp build/demo/src/modtest build/demo/examples/{echo.so,lookup.so,lookup.txt,test.ini,saori.ini} demo/
echo "== demo/test.ini"
cat demo/test.ini
echo "== demo/saori.ini"
cat demo/saori.ini
echo "== demo/modtest"
demo/modtest

# The lookup module answers from lookup.txt, which lies beside it.
printf 'string:colour\nsaori:lookup\n' >demo/test.ini
echo
echo "== demo/modtest, its test.ini now asking the lookup module for colour (last lines)"
demo/modtest | tail -n 4
cp build/demo/examples/test.ini demo/
