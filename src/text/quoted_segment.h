#pragma once

// The quoted part of a token, read the same way by the settings reader and
// the module list's reader. What it gives goes to a sink, which says whether
// it had room:
//   bool append(std::string_view bytes): a character, or the byte an escape
//       stands for;
//   bool append_run(TextCursor& text, std::size_t length): the next `length`
//       bytes of `text`, whole characters, taken off it; when one does not
//       fit, `text` is left just past it.
// Reading stops at the first false.

#include <cstddef>
#include <string>
#include <string_view>

#include "text/text_cursor.h"

// A sink that always has room.
class StringSink {
 public:
  explicit StringSink(std::string& text) : text_(text) {}
  bool append(std::string_view bytes) {
    text_.append(bytes.data(), bytes.size());
    return true;
  }
  bool append_run(TextCursor& text, std::size_t length) {
    text_.append(text.position(), length);
    text.skip(length);
    return true;
  }

 private:
  std::string& text_;
};

// Reads what a backslash inside quotes, already taken, stands for. After one
// backslash a character stands for itself. After two, n and r give LF and CR;
// any other character is appended and left unread, so the quoted part reads
// it once more: a quote then closes the part, a backslash starts a new escape,
// and an ordinary character is appended twice. Returns false when `sink` had
// no room.
template <typename Sink>
bool read_quoted_escape(TextCursor& text, Sink& sink) {
  if (!text.at_byte('\\')) {
    std::string_view escaped = text.take_char();
    return escaped.empty() || sink.append(escaped);
  }
  text.skip(1);
  if (text.at_byte('n') || text.at_byte('r')) {
    return sink.append(text.take_byte() == 'n' ? "\n" : "\r");
  }
  std::string_view again = text.peek_char();
  return again.empty() || sink.append(again);
}

// Reads a quoted part whose opening quote is already taken, up to and with
// its closing quote; an unclosed part ends at the end of the text. Returns
// false when `sink` had no room.
template <typename Sink>
bool read_quoted_part(TextCursor& text, Sink& sink) {
  while (!text.empty()) {
    if (text.at_byte('"')) {
      text.skip(1);
      break;
    }
    if (text.at_byte('\\')) {
      text.skip(1);
      if (!read_quoted_escape(text, sink)) return false;
    } else if (!sink.append_run(text, plain_run(text, kQuotedRunSteps))) {
      return false;
    }
  }
  return true;
}
