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
for function in GetModuleFileNameA LoadLibraryExA GetProcAddress FreeLibrary GlobalAlloc GlobalLock GlobalFree SetUnhandledExceptionFilter SetThreadStackGuarantee; do
  echo "$imports" | grep -qE "^\s+[0-9a-f]+\s+[0-9]+\s+$function\$" || fail "$tool does not import $function"
done
for dll in $(echo "$imports" | sed -n 's/^\s*DLL Name: //p'); do
  case "${dll,,}" in
    kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll) ;;
    *) fail "$tool imports $dll, which a plain Windows machine may not have" ;;
  esac
done

exports_of() { "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p'; }

# Probes built wrong on purpose: stdcall entries whose own return takes the
# 8 bytes of arguments off the stack, entries under their decorated names,
# and "beside", a library a probe needs, which is no module.
stdcall_load=$("$objdump" -d "$build/probes/stdcall.dll" | sed -n '/<_load@8>:/,/^$/p')
echo "$stdcall_load" | grep -qE 'ret +\$0x8' || fail "stdcall.dll: load does not return with ret \$0x8"
for entry in load@8 request@8 unload@0; do
  exports_of "$build/probes/decorated.dll" | grep -qE "\] $entry\$" || fail "decorated.dll does not export $entry"
done
exports_of "$build/probes/beside.dll" | grep -qE '\] probe_beside_value$' || fail "beside.dll does not export probe_beside_value"
"$objdump" -p "$build/probes/needs_beside.dll" | grep -q 'DLL Name: beside.dll' || fail "needs_beside.dll does not import beside.dll"

for module in "$build"/probes/*.dll "$build"/examples/*.dll; do
  exports=$(exports_of "$module")
  # A probe named no_<entry>[_<entry>...] or no_exports lacks those on purpose.
  name=$(basename "$module" .dll)
  case "$name" in
    decorated | beside) continue ;;
  esac
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
