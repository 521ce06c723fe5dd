// Standard output as the report sees it on Windows: a handle that may be
// kept apart from the one the C runtimes and modules write to.

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>

#include "platform/standard_output.h"
#include "platform/standard_stream.h"

namespace {

// Null: whatever standard output is at the time of the write.
HANDLE output_handle = nullptr;

}  // namespace

void prepare_standard_output() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

std::size_t write_some(StandardStream stream, const char* bytes, std::size_t length) {
  HANDLE handle = stream == StandardStream::kError ? GetStdHandle(STD_ERROR_HANDLE)
                  : output_handle != nullptr       ? output_handle
                                                   : GetStdHandle(STD_OUTPUT_HANDLE);
  // One write takes a 32-bit count.
  DWORD chunk = length > 0x40000000 ? 0x40000000 : static_cast<DWORD>(length);
  DWORD written = 0;
  if (!WriteFile(handle, bytes, chunk, &written, nullptr)) return 0;
  return written;
}

int reserve_standard_output() {
  std::fflush(stdout);
  HANDLE process = GetCurrentProcess();
  HANDLE kept = nullptr;
  if (!DuplicateHandle(process, GetStdHandle(STD_OUTPUT_HANDLE), process, &kept, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    return 0;
  }
  // The C runtime's descriptor 1 serves printf here and in every module that
  // shares the runtime; the process's standard handle serves the rest,
  // including runtimes a module brings along, which read it as they start.
  if (_dup2(_fileno(stderr), _fileno(stdout)) != 0) {
    CloseHandle(kept);
    return 0;
  }
  SetStdHandle(STD_OUTPUT_HANDLE, GetStdHandle(STD_ERROR_HANDLE));
  output_handle = kept;
  return 1;
}
