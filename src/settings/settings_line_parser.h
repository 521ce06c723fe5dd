#pragma once

// The pieces of a settings line: keys and values are cut off the front of a
// view of the line, one character at a time, where a character is one byte
// or a lead byte with the byte after it.

#include <cstddef>
#include <string>
#include <string_view>

// Which one-byte characters end an unquoted token: keys stop at a comma or
// colon, values only at a comma, and a value in line mode runs to the end
// of the line; every mode stops at NUL, LF and CR. Any other value of the
// type reads as kValue.
enum class SettingsTokenMode { kKey = 0, kValue = 1, kLine = 2 };

// Cuts the next key or value off `text` into `token`, blanks skipped before
// it and line feeds, blanks and tabs trimmed after it. The character that
// ended it stays in `text`. Returns 1 when the token is not empty.
int next_settings_token(std::string& token, std::string_view& text, SettingsTokenMode mode);

// As next_settings_token, but only blanks and tabs typed outside quotes are
// trimmed: what a quoted segment or an escape gave at the end stays, so a
// value can end in a line feed or a blank.
int next_settings_value_exact(std::string& token, std::string_view& text, SettingsTokenMode mode);

// Takes the first character of `text` into `ch` and returns its length: 0
// when `text` is empty, 1 for one byte, 2 for a two-byte character.
int take_settings_char(std::string& ch, std::string_view& text);

// False for the bytes that end an unquoted token in `mode`.
bool is_settings_token_char(unsigned char byte, SettingsTokenMode mode);

// How many bytes at the front of `text` a value copies as they stand: up to
// the first quote, backslash, comma, NUL, LF or CR.
std::size_t plain_value_length(std::string_view text);
