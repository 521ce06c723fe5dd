#pragma once

// Standard output and standard error as a run writes them:
// standard_output_posix.cpp and standard_output_win32.cpp implement this.

#include <cstddef>

// Puts standard output and standard error into the byte-exact mode every
// platform shares: no line-end translation.
void prepare_standard_output();

// Writes straight to standard output, past every buffer; safe in a handler.
void write_output_now(const char* bytes, std::size_t length);

// Keeps standard output for write_output_now alone: from here on whatever
// else is written there, by modtest's own lines or by a module, goes to
// standard error. Returns 1, or 0 when the system refused and nothing
// changed.
int reserve_standard_output();
