# shellcheck shell=bash
# Sourced by scripts/test.sh and scripts/demo.sh: how they run the Windows
# builds under Wine.
#
#   find_wine_loaders      sets wine64 and wine32 to the two loaders
#   kernel_runs_32bit      0 when this kernel executes 32-bit x86 programs,
#                          else 1 with the reason in no_32bit_reason
#   start_wine_prefix DIR  one server in a prefix of our own, started once
#   wine_run LOADER FOLDER PROGRAM OUT ERR
#                          runs FOLDER/PROGRAM in FOLDER, its standard
#                          output and error in the files OUT and ERR

# The loaders by their own names: once 32-bit Wine is installed, `wine`
# starts the 32-bit one, which cannot run a 64-bit program. wine32 stays
# empty when 32-bit Wine is not installed.
find_wine_loaders() {
  wine64=wine
  local candidate
  for candidate in wine64 /usr/lib/wine/wine64; do
    if command -v "$candidate" >/dev/null; then
      wine64=$(command -v "$candidate")
      break
    fi
  done
  wine32=
  [ -x /usr/lib/wine/wine ] && wine32=/usr/lib/wine/wine
  return 0
}

# Some kernels refuse every 32-bit program. A static i386 program that only
# exits with 42 tells, with nothing else in the way: no loader, no library.
kernel_runs_32bit() {
  local scratch status=0
  no_32bit_reason=
  scratch=$(mktemp -d)
  # shellcheck disable=SC2016  # assembler text, not shell
  printf '.globl _start\n_start:\n  movl $1, %%eax\n  movl $42, %%ebx\n  int $0x80\n' \
    >"$scratch/exit42.s"
  if ! as --32 "$scratch/exit42.s" -o "$scratch/exit42.o" 2>"$scratch/err" ||
    ! ld -m elf_i386 "$scratch/exit42.o" -o "$scratch/exit42" 2>"$scratch/err"; then
    no_32bit_reason="cannot build the i386 test program: $(head -n 1 "$scratch/err")"
  else
    ("$scratch/exit42") 2>"$scratch/err" || status=$?
    if [ "$status" -ne 42 ]; then
      local message
      message=$(head -n 1 "$scratch/err")
      no_32bit_reason="a static i386 program gave exit code $status${message:+: ${message##*: }}"
    fi
  fi
  rm -rf "$scratch"
  [ -z "$no_32bit_reason" ]
}

# The first start of a prefix takes seconds; it is done here, once, with one
# server kept for everything that follows (one already running there serves
# as well: then `wineserver -p` fails, harmlessly).
start_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all
  mkdir -p "$WINEPREFIX"
  wineserver -p 2>/dev/null || true
  WINELOADER=$wine64 "$wine64" cmd.exe /c exit >/dev/null 2>&1 || true
}

# A prefix made before 32-bit Wine was installed has no 32-bit system, and
# every 32-bit program fails in it with "could not load kernel32.dll, status
# c0000135". Such a prefix is made again, and the program run once more.
# Output goes to files: a Wine server keeps a pipe open long after the
# program has ended.
wine_run() {
  local loader=$1 folder=$2 program=$3 out=$4 err=$5 status=0
  (cd "$folder" && "$loader" "./$program" >"$out" 2>"$err") || status=$?
  if [ "$loader" = "${wine32:-}" ] && grep -q 'c0000135' "$err"; then
    echo "Wine prefix $WINEPREFIX has no 32-bit system: it predates 32-bit Wine; making it again"
    wineserver -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
    start_wine_prefix "$WINEPREFIX"
    status=0
    (cd "$folder" && "$loader" "./$program" >"$out" 2>"$err") || status=$?
  fi
  return "$status"
}
