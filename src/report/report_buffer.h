#pragma once

// A report on its way to standard output, whatever its format: kept in
// memory of its own and written with write_output_now. Nothing here
// allocates, takes a lock or touches stdio, so a fault handler can finish a
// report that a module cut short.

#include <cstddef>

// What is kept and not yet written. Large enough that a report of many
// short lines takes few writes.
struct ReportStorage {
  std::size_t length;
  char bytes[64 * 1024];
};

// Keeps what is not yet written in `storage` from here on, such as memory
// that outlives the process; a storage of the report's own until then.
void keep_report_in(ReportStorage* storage);
// Writes out what `storage` kept: a report that another process began.
void write_kept_report(const ReportStorage& storage);

void report_text(const char* text);
void report_bytes(const char* bytes, std::size_t length);
void report_number(unsigned long long number);

// Writes out what is kept.
void report_flush();
