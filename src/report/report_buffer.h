#pragma once

// A report on its way to standard output, whatever its format: kept in
// memory of its own and written with write_output_now. Nothing here
// allocates, takes a lock or touches stdio, so a fault handler can finish a
// report that a module cut short.

#include <cstddef>

void report_text(const char* text);
void report_bytes(const char* bytes, std::size_t length);
void report_number(unsigned long long number);

// Writes out what is kept.
void report_flush();
