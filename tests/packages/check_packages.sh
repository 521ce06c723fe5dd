#!/usr/bin/env bash
# Unpacks each package given and checks it as a user would meet it: the
# files are there, and the tool runs from the unpacked folder with the
# shipped settings, printing the sample request and the echo's reply byte
# for byte, then answering a lookup from the data file beside the module.
# The Windows packages run under Wine (WINEPREFIX and WINEDEBUG set by the
# caller): a -win64.zip with MODTEST_WINE64, a -win32.zip with MODTEST_WINE32.
# Where 32-bit programs cannot run, MODTEST_WINE32 is empty and only the
# win32 package's files are checked.
# For the Linux package it reports the newest glibc symbol version its
# binaries import and fails when that is newer than the glibc the README
# promises; with MODTEST_OLD_ROOT naming a root of that oldest system
# (scripts/package_linux.sh makes one), the package also runs there.
#
#   check_packages.sh PACKAGE...
set -u
# The oldest glibc the Linux package runs on, as the README states it.
glibc_floor=2.31
failed=0
fail() { echo "FAIL: $*"; failed=1; }
# Resolved, because the tool reports the real path of its own folder.
work=$(realpath "$(mktemp -d "${TMPDIR:-/tmp}/modtest-packages-XXXXXX")")
trap 'rm -rf "$work"' EXIT

# The output of a run with the shipped files; D is the folder as the tool
# spells it (separator at the end), X the module suffix.
expected_sample() {
  local D=$1 X=$2
  printf '%s\n' \
    $'author:\tyou' \
    $'saori:\techo' \
    $'string:\tHello from modtest.' \
    'The second line of the request.' \
    'words.txt' \
    '' \
    'dll loading.' 'name:echo' "path:${D}echo$X" \
    'dll loading.' 'name:lookup' "path:${D}lookup$X" \
    '// request_data//' 'Hello from modtest.' 'The second line of the request.' \
    '// return data //' 'Hello from modtest.' 'The second line of the request.'
}

expected_lookup() {
  local D=$1 X=$2
  printf '%s\n' \
    $'saori:\tlookup' $'string:\tcolour' '' \
    'dll loading.' 'name:echo' "path:${D}echo$X" \
    'dll loading.' 'name:lookup' "path:${D}lookup$X" \
    '// request_data//' 'colour' '// return data //' 'blue'
}

# Runs the tool in its folder; output goes to a file, never a pipe, because
# a Wine server keeps pipes open after the program has ended.
run_tool() {
  local folder=$1 runner=$2 tool=$3
  (cd "$folder" && $runner "./$tool" >"$work/stdout" 2>"$work/stderr")
  echo $? >"$work/status"
}

compare_run() {
  local package=$1 what=$2 expected=$3
  local status
  status=$(cat "$work/status")
  if [ "$status" != 0 ]; then
    fail "$package: $what: exit code $status"
    head -n 5 "$work/stderr"
  fi
  if ! cmp -s "$expected" "$work/stdout"; then
    fail "$package: $what: output differs (- expected, + actual)"
    diff -u "$expected" "$work/stdout" | cat -A | head -40
  fi
}

# The newest GLIBC_x.y symbol version any of the files imports.
newest_glibc() {
  objdump -T "$@" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -uV | tail -n 1
}

# Checks the binaries of an unpacked Linux package against the floor.
check_glibc_floor() {
  local package=$1 folder=$2 newest
  newest=$(newest_glibc "$folder/modtest" "$folder"/*.so)
  if [ -z "$newest" ]; then
    fail "$package: no glibc symbol versions found in its binaries"
  elif [ "$(printf '%s\n' "$newest" "$glibc_floor" | sort -V | tail -n 1)" != "$glibc_floor" ]; then
    fail "$package: its binaries need glibc $newest, newer than the $glibc_floor the README states"
  else
    echo "$package: newest glibc symbol version imported: GLIBC_$newest (the floor is $glibc_floor)"
  fi
}

# Runs the unpacked package inside MODTEST_OLD_ROOT, with /proc mounted there
# for this run only (the tool finds its folder through it).
run_in_old_root() {
  local folder=$1 inside=/tmp/modtest-package-check
  rm -rf "${MODTEST_OLD_ROOT:?}$inside"
  cp -a "$folder" "$MODTEST_OLD_ROOT$inside"
  # Inside a chroot whose / is no mount point (as some containers and CI
  # systems run), unshare cannot make the mounts private ("cannot change
  # root filesystem propagation"). There the mounts are left as they are,
  # and /proc is taken down again by hand so that it leaks nowhere.
  local propagation=()
  unshare --mount true 2>/dev/null || propagation=(--propagation unchanged)
  unshare --mount "${propagation[@]}" sh -c 'mount -t proc proc "$1/proc" || exit 125
    cd "$1$2" && env -i PATH=/usr/bin:/bin /usr/sbin/chroot "$1" "$2/modtest"
    status=$?
    umount "$1/proc" 2>/dev/null
    exit $status' sh "$MODTEST_OLD_ROOT" "$inside" >"$work/stdout" 2>"$work/stderr"
  echo $? >"$work/status"
  rm -rf "${MODTEST_OLD_ROOT:?}$inside"
}

check_package() {
  local package=$1 name top suffix tool runner= failed_before=$failed
  name=$(basename "$package")
  case "$name" in
    *-win64.zip | *-win32.zip) top=${name%.zip} suffix=.dll tool=modtest.exe ;;
    *.tar.gz) top=${name%.tar.gz} suffix=.so tool=modtest ;;
    *) fail "$name: not a package this script knows" && return ;;
  esac
  local unpacked=$work/$top
  mkdir -p "$unpacked.d"
  (cd "$unpacked.d" && cmake -E tar xf "$package") || { fail "$name: cannot unpack"; return; }
  local folder=$unpacked.d/$top
  [ -d "$folder" ] || { fail "$name: no top folder $top"; return; }

  for file in "$tool" test.ini saori.ini "echo$suffix" "lookup$suffix" lookup.txt README.md \
    docs/manual.md include/modtest/module.h include/modtest/coverage.c examples/echo.c examples/lookup.c; do
    [ -f "$folder/$file" ] || fail "$name: $file is missing"
  done
  case "$name" in
    *-win32.zip)
      runner=${MODTEST_WINE32:-}
      if [ -z "$runner" ]; then
        echo "$name: files checked; NOT RUN (MODTEST_WINE32 is empty: 32-bit programs do not run here)"
        return
      fi
      ;;
    *-win64.zip) runner=${MODTEST_WINE64:-wine} ;;
  esac

  if [ "$suffix" = .so ]; then
    check_glibc_floor "$name" "$folder"
    if [ -n "${MODTEST_OLD_ROOT:-}" ]; then
      run_in_old_root "$folder"
      expected_sample /tmp/modtest-package-check/ .so >"$work/expected"
      compare_run "$name" "sample run in $MODTEST_OLD_ROOT" "$work/expected"
    fi
  fi

  # How the tool spells its own folder: Wine shows the Unix root as Z:.
  local D=$folder/
  if [ -n "$runner" ]; then
    D="Z:${D//\//\\}"
  fi

  run_tool "$folder" "$runner" "$tool"
  expected_sample "$D" "$suffix" >"$work/expected"
  compare_run "$name" "sample run" "$work/expected"

  printf 'string:colour\nsaori:lookup\n' >"$folder/test.ini"
  run_tool "$folder" "$runner" "$tool"
  expected_lookup "$D" "$suffix" >"$work/expected"
  compare_run "$name" "lookup run" "$work/expected"
  [ $failed -eq "$failed_before" ] && echo "$name: unpacked and ran as expected"
}

[ $# -gt 0 ] || { echo "usage: $0 PACKAGE..." >&2; exit 2; }
for package in "$@"; do
  check_package "$(realpath "$package")"
done
exit $failed
