#pragma once

// Bytes of a module's or a user's making put into a TAP report readably, by
// way of the report buffer, so that a fault handler may use these too.
// Printable ASCII and whole UTF-8 characters go as they are; backslash, NUL,
// tab, line feed and carriage return as \\, \0, \t, \n and \r; every other
// byte as \xNN (two lower-case hex digits).

#include <cstddef>

// As a YAML double-quoted string: the quotes, and a quote inside as \".
void report_quoted(const char* bytes, std::size_t length);
// As the description or reason of a TAP line: a '#' as \#, which would
// start a directive. With more than `limit` bytes, the first `limit` at most
// (never half a UTF-8 character) and "...".
void report_description(const char* bytes, std::size_t length, std::size_t limit);
// How many of the bytes report_description shows before its "...": all
// `length` when it shows them all.
std::size_t description_length(const char* bytes, std::size_t length, std::size_t limit);
