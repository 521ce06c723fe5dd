#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_store.h"
#include "text/text_file.h"

// What parsing one line found, beyond what it stored: what the warnings
// about slips in the file need to know.
struct SettingsLineFacts {
  bool separated = false;  // a ':' ended the keys
  int values = 0;          // values that were not empty
  unsigned read_keys = 0;  // which keys the run reads were among the line's keys
};
// The bits of SettingsLineFacts::read_keys.
constexpr unsigned kRequestKeyBit = 1;  // "string"
constexpr unsigned kModuleKeyBit = 2;   // "saori"

// Strings a line's parse writes into, kept from one line to the next so that
// a file of many short lines does not allocate them again for every line.
struct SettingsLineScratch {
  std::vector<std::string> keys;  // only the first few are the line's keys
  std::string token;
};

// The settings-file operations. It holds no data; one is kept for the run.
class SettingsReader {
 public:
  // Finds the settings file in `directory` and parses every line that is not
  // a comment or empty into `store`. Prints "don't open!!" and returns 0 when
  // no settings file opens; returns 1 otherwise. Lines that likely do not do
  // what their writer meant are named on standard error (settings_slips.h).
  int read_settings(SettingsStore& store, const std::string& directory) const;

  // Sets `path` to "test.ini", else "velmar.ini", in `directory`: the first
  // that opens. Returns 0 with an empty path when neither does.
  int locate_settings_file(std::string& path, const std::string& directory) const;

  // Stores every value of the line under every key of the line. Returns 1
  // when a key/value separator was followed by text, else 0. `facts`, when
  // given, says what else the line held; `scratch`, when given, lends its
  // strings, so that many lines do not allocate them again.
  int parse_settings_line(SettingsStore& store, std::string_view line,
                          SettingsLineFacts* facts = nullptr,
                          SettingsLineScratch* scratch = nullptr) const;
  // As parse_settings_line, but a long last value that is one plain run may
  // take over `line`'s buffer instead of being copied out of it; `line` is
  // then left empty. What is stored is the same.
  int parse_settings_line_consuming(SettingsStore& store, std::string& line,
                                    SettingsLineFacts& facts, SettingsLineScratch& scratch) const;
};

// Reads one whole line of any length, its line feed kept. Returns false when
// nothing was left to read.
bool read_settings_line(std::string& line, TextFile* file);
