#pragma once

#include <cstdint>

// Splits one line of the module list into a module name and a path field.
//
// The text being read is a cursor: `text` points at a pointer into the
// caller's NUL-terminated buffer, and reading a byte advances that pointer, so
// after every call it points at exactly what is still unread. A character is
// one byte, or a lead byte with the byte after it; the second byte of such a
// pair never acts as a quote, bracket, backslash or stopping character.

// A field holds at most kFieldCapacity - 1 bytes followed by its NUL.
constexpr uint32_t kFieldCapacity = 4096;

// Takes the next character into `piece` (char[3], NUL-terminated) and returns
// its length: 0 for an empty text (piece untouched), 1 or 2.
int take_text_char(char* piece, const char** text);
// Like take_text_char, but leaves the text where it was.
int peek_text_char(char* piece, const char* text);
// Takes exactly one byte, lead byte or not; NUL (and nothing taken) at the end.
unsigned char take_text_byte(const char** text);
// Skips the blanks, tabs and commas that may stand before a field.
void skip_field_separators(const char** text);
// Drops trailing line feeds, blanks and tabs; carriage returns and commas stay.
void trim_field_end(char* field);
// Appends a piece of 1 or 2 bytes at `*collected`. Returns 0, prints
// "word OVERFLOW!\n" and leaves the field as it was when the piece would not fit.
int append_piece(char* field, const char* piece, uint32_t* collected, uint32_t piece_length);
// Reads a quoted part whose opening quote is already taken. Returns 0 when an
// append did not fit, else 1 (an unclosed part ends at the end of the text).
int read_quoted_part(char* field, const char** text, uint32_t* collected);
// Reads the escape after a backslash inside a quoted part. Returns 0 when its
// append did not fit, else 1.
int read_escape_sequence(char* field, const char** text, uint32_t* collected);
// Read one field into `field` (at least kFieldCapacity bytes) and return the
// number of bytes collected, trailing blanks removed by the trim included.
uint32_t read_name_field(char* field, const char** text);
uint32_t read_path_field(char* field, const char** text);
// Cuts a module-list line (line feed included) into name and path field.
// Returns 0, writing nothing, for a blank or comment line; else 1 with both
// buffers (each at least kFieldCapacity bytes) filled. The separator byte
// between the two fields is taken without being looked at.
int split_module_line(const char* line, char* name, char* path_field);
