#!/usr/bin/env bash
# Builds modtest and the sample modules, lays out a demo folder with the
# sample test.ini and saori.ini beside them, and runs one test with the echo
# module, then one that asks the lookup module. Run again, it keeps what the
# user added to the demo folder or changed there.
#
#   scripts/demo.sh          the native build, in demo/
#   scripts/demo.sh win32    a Windows build under Wine, in demo-win32/
#   scripts/demo.sh win64    (demo-win64/)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

# The same demo with a Windows build under Wine. The folder keeps what the
# user changed there: test.ini and saori.ini are written only when missing,
# and the lookup run happens in a copy.
windows_demo() {
  local platform=$1 compiler mingw_package loader folder=demo-$1 scratch
  source scripts/wine_env.sh
  case $platform in
    win32) compiler=i686-w64-mingw32-g++ mingw_package=g++-mingw-w64-i686 ;;
    win64) compiler=x86_64-w64-mingw32-g++ mingw_package=g++-mingw-w64-x86-64 ;;
  esac
  find_wine_loaders
  # as and ld build the probe that tells whether 32-bit programs run here.
  [ "$platform" = win64 ] || command -v as >/dev/null || install_group binutils binutils || true
  if [ "$platform" = win32 ] && ! kernel_runs_32bit; then
    echo "demo.sh: the win32 demo cannot run: this kernel cannot execute 32-bit programs ($no_32bit_reason)" >&2
    exit 1
  fi
  command -v cmake >/dev/null && command -v make >/dev/null ||
    install_group "the build tools" cmake make || true
  command -v "$compiler" >/dev/null || install_group MinGW-w64 "$mingw_package" || true
  command -v wine >/dev/null || install_group "64-bit Wine" wine wine64 || true
  find_wine_loaders
  if [ "$platform" = win32 ] && [ -z "$wine32" ]; then
    install_group "32-bit Wine" wine32:i386 || true
    find_wine_loaders
  fi
  loader=$wine64
  [ "$platform" = win64 ] || loader=$wine32
  local missing=
  command -v cmake >/dev/null && command -v make >/dev/null ||
    missing="cmake and make$(install_failure "the build tools")"
  command -v "$compiler" >/dev/null || missing="$compiler$(install_failure MinGW-w64)"
  command -v wine >/dev/null || missing="Wine$(install_failure "64-bit Wine")"
  [ -n "$loader" ] || missing="32-bit Wine (wine32:i386)$(install_failure "32-bit Wine")"
  if [ -n "$missing" ]; then
    echo "demo.sh: the $platform demo cannot run without $missing" >&2
    exit 1
  fi

  cmake --preset "$platform" >/dev/null
  cmake --build "build/$platform" -j "$(nproc 2>/dev/null || echo 2)" --target modtest echo_module lookup_module >/dev/null
  mkdir -p "$folder"
  cp "build/$platform/src/modtest.exe" "build/$platform"/examples/{echo.dll,lookup.dll,lookup.txt} "$folder/"
  for file in test.ini saori.ini; do
    [ -e "$folder/$file" ] || cp "build/$platform/examples/$file" "$folder/"
  done
  start_wine_prefix "$PWD/build/wineprefix"
  trap 'wineserver -k 2>/dev/null || true' EXIT
  scratch=$(mktemp -d)
  echo "== $folder/test.ini"
  cat "$folder/test.ini"
  echo "== $folder/saori.ini"
  cat "$folder/saori.ini"
  echo "== WINEPREFIX=$WINEPREFIX WINEDEBUG=-all $loader $folder/modtest.exe"
  wine_run "$loader" "$folder" modtest.exe "$scratch/out" "$scratch/err" ||
    echo "demo.sh: modtest.exe ended with exit code $?" >&2
  cat "$scratch/out"
  cat "$scratch/err" >&2

  cp -r "$folder" "$scratch/copy"
  printf 'string:colour\nsaori:lookup\n' >"$scratch/copy/test.ini"
  echo
  echo "== the same in a copy whose test.ini asks the lookup module for colour (last lines)"
  wine_run "$loader" "$scratch/copy" modtest.exe "$scratch/out" "$scratch/err" ||
    echo "demo.sh: modtest.exe ended with exit code $?" >&2
  tail -n 4 "$scratch/out"
  rm -rf "$scratch"
}

case "${1:-native}" in
  native) ;;
  win32 | win64)
    windows_demo "$1"
    exit 0
    ;;
  *) echo "usage: $0 [native|win32|win64]" >&2 && exit 2 ;;
esac

if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || ! command -v make >/dev/null; then
  install_group "the build tools" cmake g++ make || true
  if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || ! command -v make >/dev/null; then
    echo "demo.sh: the demo cannot be built without cmake, g++ and make$(install_failure "the build tools")" >&2
    exit 1
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
