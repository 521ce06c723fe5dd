#pragma once

// Standard input read as raw bytes, past the C runtime and its text mode:
// standard_input_posix.cpp and standard_input_win32.cpp implement this.

#include <cstddef>

// Reads at most `size` bytes, waiting for the first. Returns how many came;
// 0 at the end of the input or when the system refused the read.
std::size_t read_standard_input(void* buffer, std::size_t size);
