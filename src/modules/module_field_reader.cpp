#include "modules/module_field_reader.h"

#include <cstdio>
#include <cstring>
#include <string_view>

#include "text/messages.h"
#include "text/quoted_segment.h"

namespace {

bool ends_name(char c) {
  return c == ':' || c == ' ' || c == ',' || c == '\t' || c == '\n' || c == '\r';
}

// Blanks and colons are allowed in paths, so neither ends one.
bool ends_path(char c) {
  return c == ',' || c == '\t' || c == '\n' || c == '\r';
}

bool is_single(std::string_view piece, char c) {
  return piece.size() == 1 && piece[0] == c;
}

// Blanks, tabs and commas may stand before a field.
void skip_field_separators(TextCursor& text) {
  while (text.at_byte(' ') || text.at_byte('\t') || text.at_byte(',')) text.skip(1);
}

// A field of kFieldCapacity bytes, kept NUL-terminated. A piece that would
// leave no room for the NUL is refused whole and the field stays as it was.
class FieldSink {
 public:
  explicit FieldSink(char* field) : field_(field) {}

  bool append(std::string_view piece) {
    if (collected_ + piece.size() >= kFieldCapacity) {
      std::fputs(kFieldOverflow, stdout);
      return false;
    }
    std::memcpy(field_ + collected_, piece.data(), piece.size());
    collected_ += static_cast<uint32_t>(piece.size());
    field_[collected_] = '\0';
    return true;
  }

  bool append_run(TextCursor& text, std::size_t length) {
    if (collected_ + length < kFieldCapacity) {
      append(std::string_view(text.position(), length));
      text.skip(length);
      return true;
    }
    // The field keeps every character that fits, and the text goes on
    // after the one that did not.
    for (const char* end = text.position() + length; text.position() < end;) {
      if (!append(text.take_char())) return false;
    }
    return true;
  }

  // Ends the field where it is and drops its trailing line feeds, blanks
  // and tabs; returns the bytes collected before the trim.
  uint32_t finish() {
    field_[collected_] = '\0';
    std::size_t length = std::strlen(field_);
    std::size_t kept = trimmed_length(std::string_view(field_, length));
    std::memset(field_ + kept, '\0', length - kept);
    return collected_;
  }

 private:
  char* field_;
  uint32_t collected_ = 0;
};

// Reads the rest of a bracket group whose opening bracket is already in the
// field. Everything up to the closing bracket belongs to the name, stopping
// characters included, so that names like "[a b]" need no quotes.
bool read_bracket_group(TextCursor& text, FieldSink& field) {
  while (!text.empty()) {
    std::string_view piece = text.take_char();
    if (is_single(piece, '"')) {
      if (!read_quoted_part(text, field)) return false;
      continue;
    }
    if (!field.append(piece)) return false;
    if (is_single(piece, ']')) break;
  }
  return true;
}

// The loop shared by both fields; they differ only in what ends them and in
// whether a bracket opens a group.
uint32_t read_field(char* field, TextCursor& text, bool (*ends_field)(char), bool has_groups) {
  skip_field_separators(text);
  FieldSink sink(field);
  bool ok = true;
  while (ok && !text.empty()) {
    std::string_view piece = text.peek_char();
    if (piece.size() == 1 && ends_field(piece[0])) break;
    text.skip(piece.size());
    if (is_single(piece, '"')) {
      ok = read_quoted_part(text, sink);
    } else {
      ok = sink.append(piece);
      if (ok && has_groups && is_single(piece, '[')) ok = read_bracket_group(text, sink);
    }
  }
  return sink.finish();
}

}  // namespace

uint32_t read_name_field(char* field, TextCursor& text) {
  return read_field(field, text, ends_name, true);
}

uint32_t read_path_field(char* field, TextCursor& text) {
  return read_field(field, text, ends_path, false);
}

int split_module_line(const char* line, char* name, char* path_field) {
  TextCursor text(line);
  skip_field_separators(text);
  if (text.empty() || text.at_byte('#') || text.at_byte('\n')) return 0;
  read_name_field(name, text);
  skip_field_separators(text);
  text.take_byte();
  read_path_field(path_field, text);
  return 1;
}
