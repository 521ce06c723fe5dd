#pragma once

// The process's standard streams written past every buffer, as a fault
// report and write_output_now write them: nothing here allocates or takes a
// lock. One write is each OS's own (standard_output_posix.cpp,
// standard_output_win32.cpp); the loop over it is standard_stream.cpp.

#include <cstddef>

enum class StandardStream {
  kOutput,  // standard output, the one reserve_standard_output kept
  kError,
};

// One write of at most `length` bytes; how many went, 0 when none could.
std::size_t write_some(StandardStream stream, const char* bytes, std::size_t length);

// Writes all `length` bytes, stopping at the first write that fails.
void write_all(StandardStream stream, const char* bytes, std::size_t length);
