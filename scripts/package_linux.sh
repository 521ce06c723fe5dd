#!/usr/bin/env bash
# Builds the Linux package so that it runs on older systems too: inside a
# Debian 11 (bullseye, glibc 2.31) root made under build/bullseye, with that
# release's own compiler and CMake. A binary built against a newer glibc asks
# for that glibc's newer symbols and will not start on an older one.
#
#   scripts/package_linux.sh    -> build/linux-package/modtest-<version>-linux-x86_64.tar.gz
#
# Needs root (to make the root and enter it) and a Debian package mirror:
# the one this machine's own apt uses, else mmdebstrap's default. Installs
# mmdebstrap when it is missing. The root is made once and kept: later runs
# only copy the sources in and build. Its log is build/bullseye.log.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
suite=bullseye
packages=g++,make,cmake
root=$top/build/$suite
out=$top/build/linux-package
log=$top/build/$suite.log
jobs=$(nproc 2>/dev/null || echo 2)

if [ "$(id -u)" -ne 0 ]; then
  echo "package_linux.sh: run as root: making and entering the $suite root needs it" >&2
  exit 1
fi
source scripts/packages.sh
if ! command -v mmdebstrap >/dev/null; then
  install_group mmdebstrap mmdebstrap || true
  if ! command -v mmdebstrap >/dev/null; then
    echo "package_linux.sh: mmdebstrap is not installed, so no $suite root can be made$(install_failure mmdebstrap)" >&2
    exit 1
  fi
fi

# The archive this machine's apt reads its own release from: not its
# security or updates archives, whose suites carry a suffix.
machine_mirror() {
  apt-get indextargets --no-release-info --format '$(TARGET_OF) $(REPO_URI) $(RELEASE)' 2>/dev/null |
    awk '$1 == "deb" && $3 !~ /-/ { print $2; exit }'
}

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
  # The machine's mirror may not carry an older release: the tool's default
  # is the last try.
  mirrors=()
  mirror=$(machine_mirror)
  [ -z "$mirror" ] || mirrors+=("$mirror")
  mirrors+=("")
  for attempt in 1 2 3; do
    for mirror in "${mirrors[@]}"; do
      rm -rf "$root"
      if mmdebstrap --variant=apt --include="$packages" "$suite" "$root" ${mirror:+"$mirror"} \
        </dev/null >>"$log" 2>&1; then
        made=1
        break 2
      fi
      echo "attempt $attempt to make the $suite root from ${mirror:-the default mirror} failed" >>"$log"
    done
    sleep 5
  done
  [ $made -eq 1 ] || fail "could not make the $suite root from ${mirrors[0]:-the default mirror}${mirrors[1]+ nor the default mirror}"
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
