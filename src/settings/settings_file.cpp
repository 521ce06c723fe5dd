#include <iostream>

#include "settings/settings_reader.h"

namespace {

// The C line read's buffer size: lines come in pieces of at most 127 bytes.
constexpr std::size_t kChunkSize = 128;

bool is_skipped_line(const std::string& line) {
  return line.empty() || line[0] == '#' || line[0] == '\n';
}

}  // namespace

int SettingsReader::locate_settings_file(std::string& path, const std::string& directory) const {
  for (const char* name : {"test.ini", "velmar.ini"}) {
    path = directory + name;
    TextFile* file = open_text_file(path.c_str());
    if (file != nullptr) {
      close_text_file(file);
      return 1;
    }
  }
  path.clear();
  return 0;
}

int SettingsReader::read_settings(SettingsStore& store, const std::string& directory) const {
  std::string path;
  TextFile* file = nullptr;
  if (locate_settings_file(path, directory)) file = open_text_file(path.c_str());
  if (file == nullptr) {
    // Also when the file just found vanished before it could be read again.
    std::cout << "don't open!!\n";
    return 0;
  }
  std::string line;
  while (read_settings_line(line, file)) {
    if (!is_skipped_line(line)) parse_settings_line(store, line);
  }
  close_text_file(file);
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
  }
}
