// Standard input on Windows: the process's handle, read past the C runtime
// so that no line ends are translated and a ^Z is a byte like any other,
// and a handle that may be kept apart from the one modules read.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/standard_input.h"

namespace {

// Null: whatever standard input is at the time of the read.
HANDLE input_handle = nullptr;

}  // namespace

int reserve_standard_input() {
  HANDLE process = GetCurrentProcess();
  HANDLE kept = nullptr;
  // The copy first: moving NUL onto descriptor 0 closes the handle it had.
  if (!DuplicateHandle(process, GetStdHandle(STD_INPUT_HANDLE), process, &kept, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return 0;
  }
  // As for standard output: descriptor 0 serves the C runtime shared with
  // modules, the process's handle the runtimes a module brings along.
  int empty = _open("NUL", _O_RDONLY | _O_BINARY);
  if (empty < 0 || _dup2(empty, _fileno(stdin)) != 0) {
    if (empty >= 0) _close(empty);
    CloseHandle(kept);
    return 0;
  }
  _close(empty);
  SetStdHandle(STD_INPUT_HANDLE, reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stdin))));
  input_handle = kept;
  return 1;
}

std::size_t read_standard_input(void* buffer, std::size_t size) {
  HANDLE handle = input_handle != nullptr ? input_handle : GetStdHandle(STD_INPUT_HANDLE);
  // One read takes a 32-bit count.
  DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD got = 0;
  // A pipe whose writer has gone is the end of the input, as is any refusal.
  if (!ReadFile(handle, buffer, chunk, &got, nullptr)) return 0;
  return got;
}
