#include "report/report_buffer.h"

#include <cstring>

#include "platform/standard_output.h"

namespace {

constexpr std::size_t kCapacity = sizeof(ReportStorage::bytes);
ReportStorage own_storage{};
ReportStorage* kept = &own_storage;

}  // namespace

void keep_report_in(ReportStorage* storage) {
  storage->length = 0;
  kept = storage;
}

void write_kept_report(const ReportStorage& storage) {
  write_output_now(storage.bytes, storage.length < kCapacity ? storage.length : kCapacity);
}

void report_flush() {
  write_output_now(kept->bytes, kept->length);
  kept->length = 0;
}

void report_bytes(const char* bytes, std::size_t length) {
  if (kept->length + length > kCapacity) {
    report_flush();
    if (length > kCapacity) {
      write_output_now(bytes, length);
      return;
    }
  }
  std::memcpy(kept->bytes + kept->length, bytes, length);
  kept->length += length;
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
