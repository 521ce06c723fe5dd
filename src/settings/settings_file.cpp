#include <iostream>

#include "settings/reserve_room.h"
#include "settings/settings_reader.h"
#include "settings/settings_slips.h"
#include "text/messages.h"
#include "text/text_file.h"

namespace {

// Lines come in pieces; how big they are changes no line, only how many
// calls a long line takes.
constexpr std::size_t kChunkSize = 16 * 1024;

bool is_skipped_line(const std::string& line) {
  return line.empty() || line[0] == '#' || line[0] == '\n';
}

// Room for the longest line the file can hold, taken once a line proves
// longer than a chunk: grown step by step, a long line would be copied into
// fresh memory again at every step. Reserving takes only address space; a
// page costs only once it is written, and in large pages a long line costs
// a few page faults rather than one per 4 KiB. Without the room the line
// still grows.
void make_room_for_long_line(std::string& line, std::size_t file_size) {
  if (line.capacity() >= file_size) return;
  reserve_in_large_pages(line, file_size);
}

// The first of "test.ini" and "velmar.ini" in `directory` that opens, kept
// open: the file read is the file found. Sets `path` to it, or clears it.
TextFile* open_settings_file(std::string& path, const std::string& directory) {
  for (const char* name : {"test.ini", "velmar.ini"}) {
    path = directory + name;
    TextFile* file = open_text_file(path.c_str());
    if (file != nullptr) return file;
  }
  path.clear();
  return nullptr;
}

}  // namespace

int SettingsReader::locate_settings_file(std::string& path, const std::string& directory) const {
  TextFile* file = open_settings_file(path, directory);
  if (file == nullptr) return 0;
  close_text_file(file);
  return 1;
}

int SettingsReader::read_settings(SettingsStore& store, const std::string& directory) const {
  std::string path;
  TextFile* file = open_settings_file(path, directory);
  if (file == nullptr) {
    std::cout << kSettingsNotOpened;
    return 0;
  }
  SettingsSlips slips(path.substr(directory.size()));
  // The dictionary entries of a file take at most about its size: room
  // taken ahead costs only address space, and spares the block the copies
  // of growing step by step.
  store.dictionaries.reserve(text_file_size(file));
  std::string line;
  SettingsLineScratch scratch;
  while (read_settings_line(line, file)) {
    slips.count_line(line);
    if (is_skipped_line(line)) continue;
    SettingsLineFacts facts;
    parse_settings_line_consuming(store, line, facts, scratch);
    slips.check(line, facts, store);
  }
  close_text_file(file);
  slips.finish();
  return 1;
}

bool read_settings_line(std::string& line, TextFile* file) {
  line.clear();
  char chunk[kChunkSize];
  for (;;) {
    std::size_t length = read_text_chunk(file, chunk, sizeof chunk);
    if (length == 0) return !line.empty();
    line.append(chunk, length);
    if (chunk[length - 1] == '\n') return true;
    make_room_for_long_line(line, text_file_size(file));
  }
}
