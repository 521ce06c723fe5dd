#pragma once

// Standard input read as raw bytes, past the C runtime and its text mode:
// standard_input_posix.cpp and standard_input_win32.cpp implement this.

#include <cstddef>

// Keeps standard input for read_standard_input alone: from here on a
// module, or a program it starts, that reads standard input finds it empty.
// Returns 1, or 0 when the system refused and nothing changed.
int reserve_standard_input();

// Reads at most `size` bytes, waiting for the first. Returns how many came;
// 0 at the end of the input or when the system refused the read.
std::size_t read_standard_input(void* buffer, std::size_t size);
