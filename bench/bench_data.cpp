#include "bench_data.h"

#include <cstdio>

namespace {

// Appends whole copies of `pattern` while they fit in `size` bytes, then
// pads with `pad`: a cut copy could split a two-byte character, an escape or
// a bracket group and change how the rest of the line reads.
void fill(std::string& text, std::size_t size, const std::string& pattern, char pad = 'x') {
  while (text.size() + pattern.size() <= size) text += pattern;
  if (text.size() < size) text.append(size - text.size(), pad);
}

std::string line_of(const std::string& head, std::size_t size, const std::string& pattern) {
  std::string line = head;
  line.reserve(size);
  fill(line, size - 1, pattern);
  line += '\n';
  return line;
}

std::string many_pairs_line(std::size_t size) {
  std::string line = "alpha,beta,gamma,delta,epsilon,zeta,eta,theta:";
  line.reserve(size);
  char value[32];
  for (unsigned number = 0; line.size() + 24 < size; ++number) {
    std::snprintf(value, sizeof value, "value-%08u-abcdefg,", number);
    line += value;
  }
  fill(line, size - 1, "v");
  line += '\n';
  return line;
}

std::string separated_module_line(std::size_t size) {
  // 70% separators before the name, 12% name, 6% separators, the separator
  // byte, the rest path: at 32767 bytes each field stays under 4096 bytes.
  std::string line;
  line.reserve(size);
  fill(line, size * 70 / 100, " \t,", ' ');
  fill(line, line.size() + size * 12 / 100, "name\x95\x5c[a b]x");
  fill(line, line.size() + size * 6 / 100, " ,\t", ' ');
  line += ':';
  fill(line, size - 1, "dir\\sub dir\\m\x83\x5c.so");
  line += '\n';
  return line;
}

std::string escaped_module_line(std::size_t size) {
  // Two backslashes and n give one line feed, three bytes for one, so each
  // field takes 36% of the line and stays under 4096 bytes up to 32767.
  // Separators fill the rest.
  std::string line;
  line.reserve(size);
  std::size_t field = size * 36 / 100;
  fill(line, size - 2 * field - 1, " \t,", ' ');
  line += '"';
  fill(line, line.size() + field - 2, "\\\\n");
  line += "\":\"";
  fill(line, size - 2, "\\\\n");
  line += "\"\n";
  return line;
}

}  // namespace

std::string make_settings_line(SettingsLineKind kind, std::size_t size) {
  switch (kind) {
    case SettingsLineKind::kPlain:
      return line_of("string:", size, "The quick brown fox: jumps over the lazy dog. ");
    case SettingsLineKind::kQuoted:
      return line_of("string:", size, "\"say \\\"hi\\\", then\\\\nnext\" more\\ntext ");
    case SettingsLineKind::kManyPairs:
      return many_pairs_line(size);
    case SettingsLineKind::kTwoByteText:
      // Second bytes 0x5C, 0x22, 0x2C and 0x3A must not act as delimiters.
      return line_of("string:", size,
                     "\x95\x5c\x83\x5c\x82\xa0\x93\xfa\x96\x7b\x8c\x22\x81\x2c\x81\x3a");
  }
  return std::string();
}

std::string make_module_line(ModuleLineKind kind, std::size_t size) {
  return kind == ModuleLineKind::kSeparated ? separated_module_line(size)
                                            : escaped_module_line(size);
}

const char* const kSettingsFileNames[3] = {"long-value", "dict-lines", "distinct-keys"};

bool write_settings_file(const std::string& directory, const std::string& name) {
  std::string text;
  text.reserve(kSettingsFileSize);
  if (name == "long-value") {
    // Not under "string": the run would send and print it twice more.
    text = line_of("long:", kSettingsFileSize, "The quick brown fox: jumps over the lazy dog. ");
  } else if (name == "dict-lines") {
    constexpr std::size_t kLines = std::size_t{1} << 20;
    constexpr std::size_t kLineSize = kSettingsFileSize / kLines;
    char line[kLineSize + 1];
    for (std::size_t number = 0; number < kLines; ++number) {
      int length = std::snprintf(line, sizeof line, "dict:dictionaries/words-%07zu.txt", number);
      std::string padded(line, static_cast<std::size_t>(length));
      fill(padded, kLineSize - 1, "_");
      text += padded;
      text += '\n';
    }
  } else if (name == "distinct-keys") {
    constexpr std::size_t kKeys = 100000;
    std::size_t line_size = kSettingsFileSize / kKeys;
    char head[32];
    for (std::size_t number = 0; number < kKeys; ++number) {
      // Spread the keys over the map rather than appending in key order.
      std::snprintf(head, sizeof head, "key-%06zu:", number * 7919 % kKeys);
      text += line_of(head, line_size, "value text; ");
    }
    fill(text, kSettingsFileSize - 1, "#");
    text += '\n';
  } else {
    return false;
  }
  std::FILE* file = std::fopen((directory + "test.ini").c_str(), "wb");
  if (file == nullptr) return false;
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}
