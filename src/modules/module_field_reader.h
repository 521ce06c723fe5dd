#pragma once

#include <cstdint>

#include "text/text_cursor.h"

// Splits one line of the module list into a module name and a path field.
// A character is one byte, or a lead byte with the byte after it; the second
// byte of such a pair never acts as a quote, bracket, backslash or stopping
// character.

// A field holds at most kFieldCapacity - 1 bytes followed by its NUL.
constexpr uint32_t kFieldCapacity = 4096;

// Reads one field off `text` into `field` (at least kFieldCapacity bytes)
// and returns the number of bytes collected, trailing blanks removed by the
// trim included. What ended the field stays in `text`. A piece that does not
// fit ends the field early: "word OVERFLOW!\n" is printed and `text` is left
// just past that piece.
uint32_t read_name_field(char* field, TextCursor& text);
uint32_t read_path_field(char* field, TextCursor& text);

// Cuts a module-list line (line feed included) into name and path field.
// Returns 0, writing nothing, for a blank or comment line; else 1 with both
// buffers (each at least kFieldCapacity bytes) filled. The separator byte
// between the two fields is taken without being looked at.
int split_module_line(const char* line, char* name, char* path_field);
