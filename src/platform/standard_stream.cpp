#include "platform/standard_stream.h"

#include "platform/standard_output.h"

void write_all(StandardStream stream, const char* bytes, std::size_t length) {
  while (length > 0) {
    std::size_t written = write_some(stream, bytes, length);
    if (written == 0) return;
    bytes += written;
    length -= written;
  }
}

void write_output_now(const char* bytes, std::size_t length) {
  write_all(StandardStream::kOutput, bytes, length);
}
