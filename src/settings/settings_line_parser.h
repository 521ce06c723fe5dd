#pragma once

// The pieces of a settings line: keys and values are cut off the front of a
// view of the line, one character at a time, where a character is one byte
// or a lead byte with the byte after it.

#include <string>
#include <string_view>

// Which one-byte characters end an unquoted token: keys stop at a comma or
// colon, values only at a comma, and a value in line mode runs to the end
// of the line; every mode stops at NUL, LF and CR.
enum SettingsTokenMode { kKeyMode = 0, kValueMode = 1, kLineMode = 2 };

// Cuts the next key or value off `text` into `token`, blanks skipped before
// it and line feeds, blanks and tabs trimmed after it. The character that
// ended it stays in `text`. Returns 1 when the token is not empty.
int next_settings_token(std::string& token, std::string_view& text, int mode);

// As next_settings_token, but only blanks and tabs typed outside quotes are
// trimmed: what a quoted segment or an escape gave at the end stays, so a
// value can end in a line feed or a blank.
int next_settings_value_exact(std::string& token, std::string_view& text, int mode);

// The first character of `text`: 0 when empty, 1 for one byte, 2 for a
// two-byte character. `take` also removes it.
int peek_settings_char(std::string& ch, std::string_view text);
int take_settings_char(std::string& ch, std::string_view& text);

void skip_settings_blanks(std::string_view& text);
void trim_settings_token(std::string& token);
int is_settings_token_char(unsigned char byte, int mode);

// Called after an opening double quote (resp. a backslash inside quotes) has
// been taken; append what they stand for to `token`. Always return 1.
int read_settings_quoted(std::string& token, std::string_view& text);
int read_settings_escape(std::string& token, std::string_view& text);
