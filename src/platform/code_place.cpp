#include "platform/code_place.h"

namespace {

// Appends to fixed memory with no library call: a fault handler formats
// this, and the C library's formatting may take locks or allocate.
class PlaceText {
 public:
  PlaceText(char* text, std::size_t size) : text_(text), size_(size) {}
  void add(const char* part) {
    for (; *part != '\0'; ++part) add_byte(*part);
  }
  void add_hex(unsigned long long number) {
    char digits[16];
    int count = 0;
    do {
      digits[count++] = "0123456789abcdef"[number & 0xF];
      number >>= 4;
    } while (number != 0);
    add("0x");
    while (count > 0) add_byte(digits[--count]);
  }
  std::size_t end() {
    text_[length_] = '\0';
    return length_;
  }

 private:
  void add_byte(char byte) {
    if (length_ + 1 < size_) text_[length_++] = byte;
  }
  char* text_;
  std::size_t size_;
  std::size_t length_ = 0;
};

}  // namespace

std::size_t format_code_place(const CodePlace& place, char* text, std::size_t size) {
  if (size == 0) return 0;
  PlaceText out(text, size);
  out.add(place.file);
  out.add("+");
  out.add_hex(place.offset);
  if (place.symbol[0] != '\0') {
    out.add(" (");
    out.add(place.symbol);
    out.add("+");
    out.add_hex(place.symbol_offset);
    out.add(")");
  }
  return out.end();
}
