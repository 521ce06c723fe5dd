#include "validate/module_dictionary.h"

#include <cstdio>

#include "fuzz_engine/fuzz_dictionary.h"
#include "platform/files.h"
#include "settings/settings_line_parser.h"
#include "settings/settings_reader.h"
#include "text/text_file.h"

namespace {

// A module file larger than this is read only this far: its words are
// near the front, and the dictionary fills long before.
constexpr std::size_t kMostImageBytes = 64 * 1024 * 1024;

std::string read_image(const std::string& path) {
  std::string image;
  std::FILE* file = open_binary_file(path.c_str());
  if (file == nullptr) return image;
  unsigned long long size = open_file_size(file);
  image.resize(static_cast<std::size_t>(size < kMostImageBytes ? size : kMostImageBytes));
  image.resize(std::fread(&image[0], 1, image.size(), file));
  std::fclose(file);
  return image;
}

}  // namespace

bool read_dictionary_file(const std::string& path, std::vector<std::string>& words,
                          std::string& error) {
  TextFile* file = open_text_file(path.c_str());
  if (file == nullptr) {
    error = "the dictionary " + path + " could not be opened";
    return false;
  }
  std::string line;
  while (read_settings_line(line, file)) {
    std::string_view text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos || text[start] == '#') continue;
    std::string word;
    next_settings_value_exact(word, text, SettingsTokenMode::kLine);
    if (!word.empty()) words.push_back(word);
  }
  close_text_file(file);
  return true;
}

std::vector<std::string> module_dictionary(const std::string& module_path,
                                           const std::vector<std::string>& seeds,
                                           const std::vector<std::string>& listed) {
  return build_fuzz_dictionary(seeds, listed, read_image(module_path)).words();
}
