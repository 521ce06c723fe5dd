#!/usr/bin/env bash
# Builds modtest and the sample modules, lays out a demo folder with the
# sample test.ini and saori.ini beside them, and runs one test with the echo
# module, then one that asks the lookup module. Run again, it keeps what the
# user added to demo/ or changed there.
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

# demo/ is the user's folder as much as the demo's: modules and files added
# there stay, and of the demo's own files only those the user has not
# changed are refreshed. build/demo/laid/ keeps what the demo laid there
# last, to tell an edited file from an older copy. The tool itself is always
# the one just built.
laid=build/demo/laid
mkdir -p demo "$laid"
kept=()
for file in modtest echo.so lookup.so lookup.txt test.ini saori.ini; do
  if [ "$file" = modtest ]; then built=build/demo/src/modtest; else built=build/demo/examples/$file; fi
  if [ "$file" != modtest ] && [ -e "demo/$file" ] && ! cmp -s "demo/$file" "$laid/$file" &&
    ! cmp -s "demo/$file" "$built"; then
    kept+=("$file")
    continue
  fi
  cp "$built" "demo/$file"
  cp "$built" "$laid/$file"
done
for file in "${kept[@]}"; do
  echo "== kept your demo/$file (delete it and run this again to get the sample back)"
done
echo "== demo/test.ini"
cat demo/test.ini
echo "== demo/saori.ini"
cat demo/saori.ini
echo "== demo/modtest"
demo/modtest

# The lookup module answers from lookup.txt, which lies beside it. It is
# asked in a copy of the sample folder, so demo/test.ini stays as it is.
scratch=build/demo/lookup-run
rm -rf "$scratch"
mkdir -p "$scratch"
cp build/demo/src/modtest build/demo/examples/{echo.so,lookup.so,lookup.txt,saori.ini} "$scratch/"
printf 'string:colour\nsaori:lookup\n' >"$scratch/test.ini"
echo
echo "== the same with a test.ini asking the lookup module for colour (last lines)"
"$scratch/modtest" | tail -n 4
