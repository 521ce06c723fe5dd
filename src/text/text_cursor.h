#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "text/lead_byte.h"

// A read position in bytes that someone else owns. Reading moves it towards
// the end, so it always holds exactly what is still unread. A character is
// one byte, or a lead byte with the byte after it; a lead byte at the very
// end stands alone.
class TextCursor {
 public:
  TextCursor(const char* begin, const char* end) : at_(begin), end_(end) {}
  explicit TextCursor(std::string_view text) : TextCursor(text.data(), text.data() + text.size()) {}
  // A NUL-terminated text; the NUL is its end.
  explicit TextCursor(const char* text) : TextCursor(text, text + std::strlen(text)) {}

  bool empty() const { return at_ == end_; }
  std::size_t size() const { return static_cast<std::size_t>(end_ - at_); }
  const char* position() const { return at_; }
  std::string_view rest() const { return std::string_view(at_, size()); }

  // The character at the front, empty when nothing is left.
  std::string_view peek_char() const { return std::string_view(at_, char_length()); }
  std::string_view take_char() {
    std::string_view taken = peek_char();
    at_ += taken.size();
    return taken;
  }
  // True when the character at the front is the one byte `byte`.
  bool at_byte(char byte) const {
    // Whether the front is one byte then depends on `byte` alone, which
    // callers give as a constant.
    return !empty() && *at_ == byte &&
           !(is_lead_byte(static_cast<unsigned char>(byte)) && size() > 1);
  }
  // One byte, lead byte or not; 0, with nothing taken, at the end.
  unsigned char take_byte() { return empty() ? 0 : static_cast<unsigned char>(*at_++); }
  // `count` is at most size().
  void skip(std::size_t count) { at_ += count; }
  void skip_blanks() {
    while (!empty() && (*at_ == ' ' || *at_ == '\t')) ++at_;
  }

 private:
  std::size_t char_length() const {
    if (empty()) return 0;
    return is_lead_byte(static_cast<unsigned char>(*at_)) && end_ - at_ > 1 ? 2 : 1;
  }

  const char* at_;
  const char* end_;
};

// What a byte does in a run of plain characters, as a number to step by: 0
// ends the run, 1 is a one-byte character, 2 a lead byte that takes the byte
// after it along.
using RunSteps = std::array<unsigned char, 256>;

// The steps of a run that ends at a quote, a backslash, or a one-byte
// character for which `ends` is true. Built while compiling, so that
// reading a token never waits for a table to be made.
template <typename Ends>
constexpr RunSteps make_run_steps(Ends ends) {
  RunSteps steps{};
  for (int byte = 0; byte < 256; ++byte) {
    unsigned char value = static_cast<unsigned char>(byte);
    bool stop = value == '"' || value == '\\' || ends(value);
    steps[value] = is_lead_byte(value) ? 2 : stop ? 0 : 1;
  }
  return steps;
}

// The steps of a run inside quotes, which only a quote or a backslash ends.
inline constexpr RunSteps kQuotedRunSteps = make_run_steps([](unsigned char) { return false; });

// The length of the longest run of plain characters at the front of `text`.
// One table look-up a character, and runs appended whole rather than
// character by character, keep long values cheap.
inline std::size_t plain_run(const TextCursor& text, const RunSteps& steps) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.position());
  const std::size_t size = text.size();
  std::size_t index = 0;
  // Four one-byte characters at a time while there are: only 1 & 1 & 1 & 1
  // gives 1, as both other steps have that bit clear.
  while (index + 4 <= size && (steps[bytes[index]] & steps[bytes[index + 1]] &
                               steps[bytes[index + 2]] & steps[bytes[index + 3]]) == 1) {
    index += 4;
  }
  // The index moves by one unless a branch says otherwise: stepping by the
  // looked-up value would make every look-up wait for the one before.
  for (; index < size; ++index) {
    unsigned char step = steps[bytes[index]];
    if (step == 1) continue;
    if (step == 0) break;
    ++index;  // a lead byte takes the byte after it along
  }
  // A lead byte at the very end stands alone.
  return std::min(index, size);
}

// The length of `text` without the line feeds, blanks and tabs at its end;
// carriage returns stay.
inline std::size_t trimmed_length(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == ' ' || text[end - 1] == '\t')) {
    --end;
  }
  return end;
}
