#!/usr/bin/env bash
# Builds every preset and runs every test: unit and end-to-end tests natively
# and under the sanitizers, the native end-to-end tests under valgrind's
# memcheck, the end-to-end tests of the win64 build under 64-bit Wine and of
# the win32 build under 32-bit Wine, the checks of the win32 binaries, the
# packages, unpacked and run, and each fuzzer for a minute.
#
#   scripts/test.sh            installs what is missing when it can, else
#                              skips that part and says so
#   scripts/test.sh --strict   fails instead of skipping anything
#
# Some kernels refuse every 32-bit program. There the win32 runs cannot
# happen at all: one WARNING line says they were NOT RUN, the win32 build is
# only checked, and strict mode still passes. Where 32-bit programs run,
# strict mode needs 32-bit Wine and every win32 case to pass.
#
# MODTEST_FUZZ_SECONDS sets the time per fuzzer (60 by default).
set -euo pipefail

strict=0
[ "${1:-}" = "--strict" ] && strict=1
cd "$(dirname "$0")/.."
root=$PWD
source scripts/wine_env.sh
jobs=$(nproc 2>/dev/null || echo 2)
skipped=()

say() { printf '\n== %s\n' "$*"; }
skip() {
  if [ $strict -eq 1 ]; then
    echo "ERROR: $1 (strict mode skips nothing)" >&2
    exit 1
  fi
  echo "WARNING: SKIPPED: $1" >&2
  skipped+=("$1")
}

# What is missing is installed in groups (scripts/packages.sh) when this
# machine lets us: as root, with apt-get. A group that cannot be installed
# costs only the parts that need it; each such part is skipped, naming the
# group and apt's reason, and strict mode fails there.
source scripts/packages.sh

# The fuzzers need clang with its libFuzzer runtime: try to link one.
have_fuzzer_runtime() {
  local scratch
  scratch=$(mktemp -d)
  printf 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }\n' \
    >"$scratch/probe.cpp"
  clang++-14 -fsanitize=fuzzer "$scratch/probe.cpp" -o "$scratch/probe" >/dev/null 2>&1
  local status=$?
  rm -rf "$scratch"
  return $status
}

basics=()
command -v cmake >/dev/null || basics+=(cmake)
command -v g++ >/dev/null || basics+=(g++)
command -v make >/dev/null || basics+=(make)
[ -f /usr/include/gtest/gtest.h ] || basics+=(libgtest-dev)
# as and ld build the probe that tells whether this kernel runs 32-bit programs.
command -v as >/dev/null && command -v ld >/dev/null || basics+=(binutils)
# The Linux package's check mounts /proc in the Debian 11 root.
[ "$(id -u)" -ne 0 ] || command -v mount >/dev/null || basics+=(mount)
[ ${#basics[@]} -eq 0 ] || install_group "the build basics" "${basics[@]}" || true
if ! command -v cmake >/dev/null || ! command -v g++ >/dev/null || [ ! -f /usr/include/gtest/gtest.h ]; then
  echo "ERROR: nothing can be built or tested without cmake, g++ and GoogleTest (libgtest-dev)$(install_failure "the build basics")" >&2
  exit 1
fi

mingw=()
command -v i686-w64-mingw32-g++ >/dev/null || mingw+=(g++-mingw-w64-i686)
command -v x86_64-w64-mingw32-g++ >/dev/null || mingw+=(g++-mingw-w64-x86-64)
[ ${#mingw[@]} -eq 0 ] || install_group MinGW-w64 "${mingw[@]}" || true
command -v wine >/dev/null || install_group "64-bit Wine" wine wine64 || true
find_wine_loaders
# 32-bit Wine only where 32-bit programs run at all: elsewhere it costs the
# i386 architecture, its package lists and the risk of their being half synced.
kernel_runs_32bit || true
if [ -z "$wine32" ] && [ -z "$no_32bit_reason" ]; then
  install_group "32-bit Wine" wine32:i386 || true
fi
command -v valgrind >/dev/null || install_group valgrind valgrind || true
have_fuzzer_runtime || install_group "clang-14 and its fuzzer runtime" clang-14 libclang-rt-14-dev || true
[ "$(id -u)" -ne 0 ] || command -v mmdebstrap >/dev/null || install_group mmdebstrap mmdebstrap || true
find_wine_loaders
export MODTEST_WINE64=$wine64

win32_dir=
win64_dir=
if command -v i686-w64-mingw32-g++ >/dev/null; then
  say "Building win32"
  cmake --preset win32 >/dev/null
  cmake --build build/win32 -j "$jobs"
  win32_dir=$root/build/win32
else
  skip "win32 build: MinGW-w64 i686 is not installed$(install_failure MinGW-w64)"
fi
if command -v x86_64-w64-mingw32-g++ >/dev/null; then
  say "Building win64"
  cmake --preset win64 >/dev/null
  cmake --build build/win64 -j "$jobs"
  if command -v wine >/dev/null; then
    win64_dir=$root/build/win64
  else
    skip "win64 end-to-end tests: Wine is not installed$(install_failure "64-bit Wine")"
  fi
else
  skip "win64 build and its tests: MinGW-w64 x86_64 is not installed$(install_failure MinGW-w64)"
fi

# The win32 runs: first whether this kernel runs 32-bit programs at all,
# then whether 32-bit Wine is there.
win32_can_run=0
not_run=
if [ -n "$win32_dir" ]; then
  if [ -n "$no_32bit_reason" ]; then
    not_run="win32 runs NOT RUN: this kernel cannot execute 32-bit programs ($no_32bit_reason); \
the win32 end-to-end cases and the win32 package are only checked, not run"
    echo "WARNING: $not_run" >&2
  elif [ -z "$wine32" ]; then
    skip "win32 runs: 32-bit Wine (wine32:i386) is not installed$(install_failure "32-bit Wine")"
  else
    win32_can_run=1
  fi
fi

if [ -n "$win64_dir" ] || [ $win32_can_run -eq 1 ]; then
  # One wine server for the whole suite, in a prefix of our own.
  start_wine_prefix "$root/build/wineprefix"
  trap 'wineserver -k 2>/dev/null || true' EXIT
fi

# The win32 modtest prints its report under 32-bit Wine, or the wine32 runs
# are left out; wine_run makes a prefix that predates 32-bit Wine again.
wine32_runner=
if [ $win32_can_run -eq 1 ]; then
  say "Running the win32 modtest under 32-bit Wine"
  scratch=$(mktemp -d)
  cp "$win32_dir/src/modtest.exe" "$scratch/"
  printf 'string:hi\n' >"$scratch/test.ini"
  printf '%s\n' $'string:\thi' '' "saori.ini don't open!!" '// request_data//' hi \
    '// return data //' hi >"$scratch/expected"
  if wine_run "$wine32" "$scratch" modtest.exe "$scratch/out" "$scratch/err" &&
    cmp -s "$scratch/expected" "$scratch/out"; then
    wine32_runner=$wine32
    echo "it runs"
  else
    skip "win32 runs: the win32 modtest does not run under $wine32: $(head -n 1 "$scratch/err")"
  fi
  rm -rf "$scratch"
fi
export MODTEST_WINE32=$wine32_runner

memcheck=OFF
if command -v valgrind >/dev/null; then
  memcheck=ON
else
  skip "memcheck of the native end-to-end tests: valgrind is not installed$(install_failure valgrind)"
fi

say "Building native"
cmake --preset native -DMODTEST_WIN32_BUILD_DIR="$win32_dir" -DMODTEST_WIN64_BUILD_DIR="$win64_dir" \
  -DMODTEST_MEMCHECK="$memcheck" -DMODTEST_WINE64="$wine64" -DMODTEST_WINE32="$wine32_runner" >/dev/null
cmake --build build/native -j "$jobs"
memcheck_label=
[ "$memcheck" = ON ] && memcheck_label=", memcheck"
say "Testing native$memcheck_label${win64_dir:+, wine64}${wine32_runner:+, wine32}${win32_dir:+, win32 binaries}"
ctest --test-dir build/native -j "$jobs" --output-on-failure

# Each package is unpacked and run as a user would, the Windows ones under
# Wine; the win32 one only where 32-bit programs run (MODTEST_WINE32), else
# only its files are checked. The Linux package is built on the oldest
# Debian it supports and also run there.
say "Building and checking the packages"
packages=()
shopt -s nullglob
for dir in $win64_dir $win32_dir; do
  rm -f "$dir"/modtest-*.zip
  cmake --build "$dir" -j "$jobs" --target package >/dev/null
  packages+=("$dir"/modtest-*.zip)
done
shopt -u nullglob
if [ "$(id -u)" -eq 0 ]; then
  started=$SECONDS
  package_errors=$(mktemp)
  if scripts/package_linux.sh >/dev/null 2>"$package_errors"; then
    echo "Linux package built in the bullseye root in $((SECONDS - started)) s"
    packages+=(build/linux-package/modtest-*.tar.gz)
    export MODTEST_OLD_ROOT=$root/build/bullseye
  else
    cat "$package_errors" >&2
    skip "Linux package: $(grep '^package_linux.sh: ' "$package_errors" | tail -n 1 | cut -d' ' -f2-)"
  fi
  rm -f "$package_errors"
else
  skip "Linux package: building it in a Debian 11 root needs root"
fi
[ ${#packages[@]} -eq 0 ] || tests/packages/check_packages.sh "${packages[@]}"

say "Building and testing under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build/asan -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/asan -j "$jobs" --output-on-failure

if have_fuzzer_runtime; then
  say "Fuzzing"
  scripts/fuzz.sh "${MODTEST_FUZZ_SECONDS:-60}"
else
  skip "fuzzing: clang-14 with its libFuzzer runtime (libclang-rt-14-dev) is not installed$(install_failure "clang-14 and its fuzzer runtime")"
fi

if [ ${#skipped[@]} -ne 0 ]; then
  say "Passed, but these were SKIPPED:"
  printf '  - %s\n' "${skipped[@]}"
elif [ -n "$not_run" ]; then
  say "All tests that this machine can run passed; nothing skipped; win32 runs NOT RUN (WARNING above)"
else
  say "All tests passed; nothing skipped"
fi
