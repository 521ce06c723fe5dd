#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

namespace {

constexpr std::size_t kReadBufferSize = 64 * 1024;
constexpr unsigned char kCarriageReturn = 0x0D;
constexpr unsigned char kEndOfFile = 0x1A;

}  // namespace

struct TextFile {
  std::FILE* file;
  char* buffer;
  std::size_t position;
  std::size_t end;
  bool finished;  // 0x1A seen, end of file or read error: nothing more comes
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
  *text = TextFile{file, buffer, 0, 0, false};
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
  while (stored + 1 < size) {
    if (file->position == file->end && !refill(file)) break;
    const char* from = file->buffer + file->position;
    std::size_t available = file->end - file->position;
    std::size_t room = size - 1 - stored;
    std::size_t scan = available < room ? available : room;
    // Copy the run of plain bytes in one go; stop at the first byte that
    // needs a decision.
    std::size_t run = 0;
    while (run < scan) {
      unsigned char byte = static_cast<unsigned char>(from[run]);
      if (byte == '\n' || byte == kCarriageReturn || byte == kEndOfFile) break;
      ++run;
    }
    std::memcpy(buffer + stored, from, run);
    stored += run;
    file->position += run;
    if (run == scan) continue;
    unsigned char byte = static_cast<unsigned char>(from[run]);
    if (byte == kEndOfFile) {
      file->finished = true;
      file->position = file->end;
      break;
    }
    ++file->position;
    if (byte == kCarriageReturn) continue;
    buffer[stored++] = '\n';
    break;
  }
  buffer[stored] = '\0';
  return stored;
}

void close_text_file(TextFile* file) {
  if (file == nullptr) return;
  std::fclose(file->file);
  std::free(file->buffer);
  std::free(file);
}
