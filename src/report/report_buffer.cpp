#include "report/report_buffer.h"

#include <cstring>

#include "platform/standard_output.h"

namespace {

// Large enough that a report of many short lines takes few writes.
constexpr std::size_t kCapacity = 64 * 1024;
char kept[kCapacity];
std::size_t kept_length = 0;

}  // namespace

void report_flush() {
  write_output_now(kept, kept_length);
  kept_length = 0;
}

void report_bytes(const char* bytes, std::size_t length) {
  if (kept_length + length > kCapacity) {
    report_flush();
    if (length > kCapacity) {
      write_output_now(bytes, length);
      return;
    }
  }
  std::memcpy(kept + kept_length, bytes, length);
  kept_length += length;
}

void report_text(const char* text) {
  report_bytes(text, std::strlen(text));
}

void report_number(unsigned long long number) {
  char digits[24];
  char* at = digits + sizeof digits;
  do {
    *--at = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  report_bytes(at, static_cast<std::size_t>(digits + sizeof digits - at));
}
