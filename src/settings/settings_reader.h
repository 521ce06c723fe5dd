#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "settings/settings_store.h"

// The settings-file operations. It holds no data; one is kept for the run.
class SettingsReader {
 public:
  // Finds the settings file in `directory` and parses every line that is not
  // a comment or empty into `store`. Prints "don't open!!" and returns 0 when
  // no settings file opens; returns 1 otherwise.
  int read_settings(SettingsStore& store, const std::string& directory) const;

  // Sets `path` to "test.ini", else "velmar.ini", in `directory`: the first
  // that opens. Returns 0 with an empty path when neither does.
  int locate_settings_file(std::string& path, const std::string& directory) const;

  // Stores every value of the line under every key of the line. Returns 1
  // when a key/value separator was followed by text, else 0.
  int parse_settings_line(SettingsStore& store, std::string_view line) const;
};

// Reads one whole line of any length, its line feed kept. Returns false when
// nothing was left to read.
bool read_settings_line(std::string& line, TextFile* file);
