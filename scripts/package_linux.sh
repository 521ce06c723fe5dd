#!/usr/bin/env bash
# Builds the Linux package so that it runs on older systems too: inside a
# Debian 11 (bullseye, glibc 2.31) root made under build/bullseye, with that
# release's own compiler and CMake. A binary built against a newer glibc asks
# for that glibc's newer symbols and will not start on an older one.
#
#   scripts/package_linux.sh    -> build/linux-package/modtest-<version>-linux-x86_64.tar.gz
#
# Needs root (to make the root and enter it) and Debian's package mirror;
# installs mmdebstrap when it is missing. The root is made once and kept:
# later runs only copy the sources in and build. Its log is build/bullseye.log.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
suite=bullseye
mirror=http://deb.debian.org/debian
packages=g++,make,cmake
root=$top/build/$suite
out=$top/build/linux-package
log=$top/build/$suite.log
jobs=$(nproc 2>/dev/null || echo 2)

if [ "$(id -u)" -ne 0 ]; then
  echo "package_linux.sh: run as root: making and entering the $suite root needs it" >&2
  exit 1
fi
if ! command -v mmdebstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap \
    >/dev/null
fi

mkdir -p "$top/build"
: >"$log"
# Says what failed, with the end of the log, and stops.
fail() {
  echo "package_linux.sh: $1; the end of $log:" >&2
  tail -n 20 "$log" >&2
  exit 1
}

# The root counts as made only once its stamp says what it was made with.
stamp="$suite $packages"
if [ "$(cat "$root/.modtest-root" 2>/dev/null)" != "$stamp" ]; then
  made=0
  for attempt in 1 2 3; do
    rm -rf "$root"
    if mmdebstrap --variant=apt --include="$packages" "$suite" "$root" "$mirror" >>"$log" 2>&1; then
      made=1
      break
    fi
    echo "attempt $attempt to make the $suite root failed" >>"$log"
    sleep 5
  done
  [ $made -eq 1 ] || fail "could not make the $suite root from $mirror"
  echo "$stamp" >"$root/.modtest-root"
fi

# The sources as they are in this tree, built work excluded.
rm -rf "$root/modtest" "$root/modtest-build"
mkdir "$root/modtest"
tar -c --exclude=./build --exclude=./demo --exclude=./.git . | tar -x -C "$root/modtest"
env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C chroot "$root" /bin/sh -c "
  set -e
  cmake -S /modtest -B /modtest-build -DCMAKE_BUILD_TYPE=Release \
    -DMODTEST_BUILD_TESTS=OFF -DMODTEST_BUILD_PROBES=OFF
  cmake --build /modtest-build -j $jobs
  cd /modtest-build && cpack
" >>"$log" 2>&1 || fail "the build in the $suite root failed"

mkdir -p "$out"
rm -f "$out"/modtest-*.tar.gz
cp "$root"/modtest-build/modtest-*-linux-x86_64.tar.gz "$out/"
ls "$out"/modtest-*.tar.gz
