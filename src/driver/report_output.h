#pragma once

// The check mode's report on its way to standard output: kept in memory of
// its own and written with write_output_now. Nothing here allocates, takes a
// lock or touches stdio, so a fault handler can finish a report that a
// module cut short.

#include <cstddef>

void report_text(const char* text);
void report_bytes(const char* bytes, std::size_t length);
void report_number(unsigned long long number);

// Bytes shown readably: printable ASCII and whole UTF-8 characters as they
// are; backslash, NUL, tab, line feed and carriage return as \\, \0, \t, \n
// and \r; every other byte as \xNN (two lower-case hex digits).
//
// As a YAML double-quoted string: the quotes, and a quote inside as \".
void report_quoted(const char* bytes, std::size_t length);
// As the description or reason of a TAP line: a '#' as \#, which would
// start a directive. With more than `limit` bytes, the first `limit` at most
// (never half a UTF-8 character) and "...".
void report_description(const char* bytes, std::size_t length, std::size_t limit);

// Writes out what is kept.
void report_flush();
