#include "text/text_file.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/files.h"

namespace {

constexpr std::size_t kReadBufferSize = 64 * 1024;
constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;

std::size_t size_of(std::FILE* file) {
  unsigned long long size = open_file_size(file);
  return size <= SIZE_MAX ? static_cast<std::size_t>(size) : SIZE_MAX;
}

const char* find_byte(const char* from, std::size_t size, unsigned char byte) {
  return static_cast<const char*>(std::memchr(from, byte, size));
}

// Copies `size` bytes less every carriage return; returns how many were copied.
std::size_t copy_without_returns(char* to, const char* from, std::size_t size) {
  std::size_t copied = 0;
  for (;;) {
    const char* carriage_return = find_byte(from, size, kCarriageReturn);
    std::size_t run = carriage_return ? static_cast<std::size_t>(carriage_return - from) : size;
    std::memcpy(to + copied, from, run);
    copied += run;
    if (carriage_return == nullptr) return copied;
    from += run + 1;
    size -= run + 1;
  }
}

}  // namespace

struct TextFile {
  std::FILE* file;
  char* buffer;
  std::size_t position;
  std::size_t end;
  bool finished;  // 0x1A seen, end of file or read error: nothing more comes
  std::size_t size;
};

TextFile* open_text_file(const char* path) {
  std::FILE* file = open_binary_file(path);
  if (file == nullptr) return nullptr;
  char* buffer = static_cast<char*>(std::malloc(kReadBufferSize));
  TextFile* text = static_cast<TextFile*>(std::malloc(sizeof(TextFile)));
  if (buffer == nullptr || text == nullptr) {
    std::free(buffer);
    std::free(text);
    std::fclose(file);
    return nullptr;
  }
  *text = TextFile{file, buffer, 0, 0, false, size_of(file)};
  return text;
}

static bool refill(TextFile* text) {
  if (text->finished) return false;
  text->position = 0;
  text->end = std::fread(text->buffer, 1, kReadBufferSize, text->file);
  if (text->end == 0) text->finished = true;
  return text->end != 0;
}

std::size_t read_text_chunk(TextFile* file, char* buffer, std::size_t size) {
  if (size == 0) return 0;
  std::size_t stored = 0;
  bool chunk_ends = false;
  while (!chunk_ends && stored + 1 < size) {
    if (file->position == file->end && !refill(file)) break;
    const char* from = file->buffer + file->position;
    std::size_t take = std::min(file->end - file->position, size - 1 - stored);
    // memchr looks at many bytes a step where a loop tests one; each span
    // searched is consumed, so every byte is searched a bounded number of
    // times whatever the mix of line ends.
    if (const char* line_feed = find_byte(from, take, '\n')) {
      take = static_cast<std::size_t>(line_feed - from) + 1;
      chunk_ends = true;
    }
    bool file_ends = false;
    if (const char* end = find_byte(from, take, kEndOfFile)) {
      take = static_cast<std::size_t>(end - from);
      chunk_ends = file_ends = true;
    }
    stored += copy_without_returns(buffer + stored, from, take);
    file->position += take;
    if (file_ends) {
      file->finished = true;
      file->position = file->end;
    }
  }
  buffer[stored] = '\0';
  return stored;
}

std::size_t text_file_size(TextFile* file) {
  return file->size;
}

void close_text_file(TextFile* file) {
  if (file == nullptr) return;
  std::fclose(file->file);
  std::free(file->buffer);
  std::free(file);
}
