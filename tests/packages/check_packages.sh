#!/usr/bin/env bash
# Unpacks each package given and checks it as a user would meet it: the
# files are there, and the tool runs from the unpacked folder with the
# shipped settings, printing the sample request and the echo's reply byte
# for byte, then answering a lookup from the data file beside the module.
# The Windows packages run under Wine (WINEPREFIX and WINEDEBUG set by the
# caller): a -win64.zip with MODTEST_WINE64, a -win32.zip with MODTEST_WINE32.
# Where 32-bit programs cannot run, MODTEST_WINE32 is empty and only the
# win32 package's files are checked.
#
#   check_packages.sh PACKAGE...
set -u
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
  [ "$status" = 0 ] || fail "$package: $what: exit code $status"
  if ! cmp -s "$expected" "$work/stdout"; then
    fail "$package: $what: output differs (- expected, + actual)"
    diff -u "$expected" "$work/stdout" | cat -A | head -40
  fi
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
    include/modtest/module.h examples/echo.c examples/lookup.c; do
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
