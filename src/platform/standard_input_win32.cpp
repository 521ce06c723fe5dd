// Standard input on Windows: the process's handle, so that no line ends
// are translated and a ^Z is a byte like any other.

#include <windows.h>

#include "platform/standard_input.h"

std::size_t read_standard_input(void* buffer, std::size_t size) {
  // One read takes a 32-bit count.
  DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
  DWORD got = 0;
  // A pipe whose writer has gone is the end of the input, as is any refusal.
  if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, chunk, &got, nullptr)) return 0;
  return got;
}
