#pragma once

// Where an instruction lies in this process, told so that it means the same
// in another run: the file of the library or program that holds it, the
// offset from where that file was loaded, and the symbol around it. A fault
// handler may call it: it writes into the caller's fixed memory and
// allocates nothing. code_place_posix.cpp and code_place_win32.cpp
// implement it.

#include <cstddef>
#include <cstdint>

struct CodePlace {
  char file[256];  // the file's name, without its folder
  unsigned long long offset;
  // The symbol that holds the instruction, natively; on Windows the nearest
  // export before it. Empty when there is none.
  char symbol[128];
  unsigned long long symbol_offset;
};

// False when no loaded file holds `address`.
bool find_code_place(std::uintptr_t address, CodePlace& place);

// "echo.so+0x1a2b (request+0x2b)", or without the symbol when there is
// none; cut to fit `size`, NUL-terminated. Returns its length.
std::size_t format_code_place(const CodePlace& place, char* text, std::size_t size);
