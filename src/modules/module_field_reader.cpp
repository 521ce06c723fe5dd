#include "modules/module_field_reader.h"

#include <cstdio>
#include <cstring>

#include "text/lead_byte.h"

namespace {

bool ends_name(char c) {
  return c == ':' || c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r';
}

// Blanks and colons are allowed in paths, so neither ends one.
bool ends_path(char c) {
  return c == ',' || c == '\t' || c == '\n' || c == '\r';
}

bool is_single(int kind, const char* piece, char c) {
  return kind == 1 && piece[0] == c;
}

// Reads the rest of a bracket group whose opening bracket is already in the
// field. Everything up to the closing bracket belongs to the name, stopping
// characters included, so that names like "[a b]" need no quotes.
int read_bracket_group(char* field, const char** text, uint32_t* collected) {
  char piece[3];
  int kind;
  while ((kind = take_text_char(piece, text)) != 0) {
    if (is_single(kind, piece, '"')) {
      if (!read_quoted_part(field, text, collected)) return 0;
      continue;
    }
    if (!append_piece(field, piece, collected, kind)) return 0;
    if (is_single(kind, piece, ']')) break;
  }
  return 1;
}

// The loop shared by both fields; they differ only in what ends them and in
// whether a bracket opens a group.
uint32_t read_field(char* field, const char** text, bool (*ends_field)(char), bool has_groups) {
  skip_field_separators(text);
  uint32_t collected = 0;
  char piece[3];
  int kind;
  int ok = 1;
  while (ok && (kind = peek_text_char(piece, *text)) != 0) {
    if (kind == 1 && ends_field(piece[0])) break;
    *text += kind;
    if (is_single(kind, piece, '"')) {
      ok = read_quoted_part(field, text, &collected);
    } else {
      ok = append_piece(field, piece, &collected, kind);
      if (ok && has_groups && is_single(kind, piece, '[')) {
        ok = read_bracket_group(field, text, &collected);
      }
    }
  }
  field[collected] = '\0';
  trim_field_end(field);
  return collected;
}

}  // namespace

int peek_text_char(char* piece, const char* text) {
  if (text[0] == '\0') return 0;
  piece[0] = text[0];
  // A lead byte at the very end stands alone; the NUL after it is not its pair.
  if (is_lead_byte(static_cast<unsigned char>(text[0])) && text[1] != '\0') {
    piece[1] = text[1];
    piece[2] = '\0';
    return 2;
  }
  piece[1] = '\0';
  return 1;
}

int take_text_char(char* piece, const char** text) {
  int kind = peek_text_char(piece, *text);
  *text += kind;
  return kind;
}

unsigned char take_text_byte(const char** text) {
  unsigned char byte = static_cast<unsigned char>(**text);
  if (byte != '\0') ++*text;
  return byte;
}

void skip_field_separators(const char** text) {
  while (**text == ' ' || **text == '\t' || **text == ',') ++*text;
}

void trim_field_end(char* field) {
  size_t length = std::strlen(field);
  while (length > 0) {
    char last = field[length - 1];
    if (last != '\n' && last != ' ' && last != '\t') break;
    field[--length] = '\0';
  }
}

int append_piece(char* field, const char* piece, uint32_t* collected, uint32_t piece_length) {
  if (*collected + piece_length >= kFieldCapacity) {
    std::printf("word OVERFLOW!\n");
    return 0;
  }
  std::memcpy(field + *collected, piece, piece_length);
  *collected += piece_length;
  field[*collected] = '\0';
  return 1;
}

int read_quoted_part(char* field, const char** text, uint32_t* collected) {
  char piece[3];
  int kind;
  while ((kind = take_text_char(piece, text)) != 0) {
    if (is_single(kind, piece, '"')) break;
    int ok = is_single(kind, piece, '\\') ? read_escape_sequence(field, text, collected)
                                          : append_piece(field, piece, collected, kind);
    if (!ok) return 0;
  }
  return 1;
}

int read_escape_sequence(char* field, const char** text, uint32_t* collected) {
  char piece[3];
  int kind = take_text_char(piece, text);
  if (kind == 0) return 1;
  if (!is_single(kind, piece, '\\')) return append_piece(field, piece, collected, kind);

  kind = peek_text_char(piece, *text);
  if (kind == 0) return 1;
  if (is_single(kind, piece, 'n') || is_single(kind, piece, 'r')) {
    *text += 1;
    piece[0] = piece[0] == 'n' ? '\n' : '\r';
  }
  // Any other character is appended here and left unread, so the quoted part
  // reads it once more: a quote then closes the part, a backslash starts a new
  // escape, and an ordinary character ends up in the field twice.
  return append_piece(field, piece, collected, kind);
}

uint32_t read_name_field(char* field, const char** text) {
  return read_field(field, text, ends_name, true);
}

uint32_t read_path_field(char* field, const char** text) {
  return read_field(field, text, ends_path, false);
}

int split_module_line(const char* line, char* name, char* path_field) {
  const char* text = line;
  skip_field_separators(&text);
  if (*text == '\0' || *text == '#' || *text == '\n') return 0;
  read_name_field(name, &text);
  skip_field_separators(&text);
  take_text_byte(&text);
  read_path_field(path_field, &text);
  return 1;
}
