#!/usr/bin/env bash
# What the loader will see in the 32-bit build, checked without running it
# (on a kernel that refuses 32-bit programs, all that checks it): the tool
# imports the kernel functions it is built on and only system DLLs, and the
# probe modules export the three entries undecorated.
set -u
build=$1
objdump=${OBJDUMP:-i686-w64-mingw32-objdump}
failed=0
fail() { echo "FAIL: $*"; failed=1; }

tool="$build/src/modtest.exe"
imports=$("$objdump" -p "$tool") || { echo "FAIL: cannot read $tool"; exit 1; }
echo "$imports" | grep -q 'file format pei-i386' || fail "$tool is not a 32-bit PE"
for function in GetModuleFileNameA LoadLibraryA GetProcAddress FreeLibrary GlobalAlloc GlobalLock GlobalFree; do
  echo "$imports" | grep -qE "^\s+[0-9a-f]+\s+[0-9]+\s+$function\$" || fail "$tool does not import $function"
done
for dll in $(echo "$imports" | sed -n 's/^\s*DLL Name: //p'); do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll) ;;
    *) fail "$tool imports $dll, which a plain Windows machine may not have" ;;
  esac
done

for module in "$build"/probes/*.dll "$build"/examples/*.dll; do
  exports=$("$objdump" -p "$module" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')
  # A probe named no_<entry>[_<entry>...] or no_exports lacks those on purpose.
  name=$(basename "$module" .dll)
  missing=
  [ "${name#no_}" != "$name" ] && missing=" ${name#no_} " && missing=${missing//_/ }
  for entry in load request unload; do
    case "$missing" in
      *" $entry "* | " exports ") continue ;;
    esac
    echo "$exports" | grep -qE "\] $entry\$" || fail "$module does not export $entry undecorated"
  done
done

[ $failed -eq 0 ] && echo "win32 binaries: imports and exports as expected"
exit $failed
