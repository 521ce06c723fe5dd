#include "report/tap_text.h"

#include "report/report_buffer.h"

namespace {

// How many bytes of the UTF-8 character at the front of `bytes` make a
// character that may be shown as it is: 0 when they are no whole UTF-8
// character, or one that YAML takes as a line break (U+0085, U+2028, U+2029).
std::size_t utf8_length(const unsigned char* bytes, std::size_t length) {
  unsigned char first = bytes[0];
  std::size_t size;
  unsigned char low = 0x80;   // bounds of the second byte
  unsigned char high = 0xBF;  // (overlong forms and surrogates excluded)
  if (first >= 0xC2 && first <= 0xDF) {
    size = 2;
  } else if (first >= 0xE0 && first <= 0xEF) {
    size = 3;
    if (first == 0xE0) low = 0xA0;
    if (first == 0xED) high = 0x9F;
  } else if (first >= 0xF0 && first <= 0xF4) {
    size = 4;
    if (first == 0xF0) low = 0x90;
    if (first == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (length < size || bytes[1] < low || bytes[1] > high) return 0;
  for (std::size_t index = 2; index < size; ++index) {
    if ((bytes[index] & 0xC0) != 0x80) return 0;
  }
  bool line_break = (first == 0xC2 && bytes[1] == 0x85) ||
                    (first == 0xE2 && bytes[1] == 0x80 && (bytes[2] == 0xA8 || bytes[2] == 0xA9));
  return line_break ? 0 : size;
}

// Which bytes stand for themselves: printable ASCII but the backslash, and
// but the quote or the '#' when that is the byte escaped too. Built by the
// compiler, so a fault handler finds it ready.
struct PlainBytes {
  bool quoted[256];
  bool described[256];
};

constexpr PlainBytes make_plain_bytes() {
  PlainBytes plain{};
  for (int byte = 0x20; byte < 0x7F; ++byte) {
    plain.quoted[byte] = byte != '\\' && byte != '"';
    plain.described[byte] = byte != '\\' && byte != '#';
  }
  return plain;
}

constexpr PlainBytes kPlainBytes = make_plain_bytes();

// Shows `bytes` readably through `out(bytes, length)`, escaping `special`
// (a quote or '#') too; stops before `limit` bytes would be passed. Returns
// how many bytes were shown. A template so that the report's own output
// stays free of allocation for the fault handler.
template <typename Out>
std::size_t show_readable(const char* text, std::size_t length, char special, std::size_t limit,
                          Out out) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const bool* plain = special == '"' ? kPlainBytes.quoted : kPlainBytes.described;
  std::size_t end = length < limit ? length : limit;
  std::size_t index = 0;
  while (index < length) {
    unsigned char byte = bytes[index];
    // Runs that need no escape go out whole.
    std::size_t run = index;
    while (run < end && plain[bytes[run]]) ++run;
    if (run > index) {
      out(text + index, run - index);
      index = run;
      continue;
    }
    std::size_t size = byte >= 0x80 ? utf8_length(bytes + index, length - index) : 0;
    if (index + (size != 0 ? size : 1) > limit) break;
    if (size != 0) {
      out(text + index, size);
      index += size;
      continue;
    }
    char escape[4] = {'\\', 0, 0, 0};
    std::size_t escape_length = 2;
    switch (byte) {
      case '\0':
        escape[1] = '0';
        break;
      case '\t':
        escape[1] = 't';
        break;
      case '\n':
        escape[1] = 'n';
        break;
      case '\r':
        escape[1] = 'r';
        break;
      default:
        if (byte == '\\' || byte == static_cast<unsigned char>(special)) {
          escape[1] = static_cast<char>(byte);
        } else {
          escape[1] = 'x';
          escape[2] = "0123456789abcdef"[byte >> 4];
          escape[3] = "0123456789abcdef"[byte & 15];
          escape_length = 4;
        }
    }
    out(escape, escape_length);
    ++index;
  }
  return index;
}

std::size_t report_readable(const char* text, std::size_t length, char special, std::size_t limit) {
  return show_readable(text, length, special, limit, report_bytes);
}

}  // namespace

void report_quoted(const char* bytes, std::size_t length) {
  report_bytes("\"", 1);
  report_readable(bytes, length, '"', length);
  report_bytes("\"", 1);
}

void report_description(const char* bytes, std::size_t length, std::size_t limit) {
  if (report_readable(bytes, length, '#', limit) < length) report_bytes("...", 3);
}

std::size_t description_length(const char* bytes, std::size_t length, std::size_t limit) {
  return show_readable(bytes, length, '#', limit, [](const char*, std::size_t) {});
}
