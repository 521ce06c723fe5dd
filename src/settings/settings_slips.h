#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

#include "settings/settings_reader.h"
#include "settings/settings_store.h"

// Notices, line by line, what in a settings file does not do what its writer
// most likely meant, and says so in one line each on standard error, naming
// the file and the line: a byte-order mark, a line that stores nothing for
// want of a ':', a request text or module name given a second time, and a
// request text cut at a comma. What the parser does stays as it is.
class SettingsSlips {
 public:
  // `file_name` is how the lines name the file, such as "test.ini".
  explicit SettingsSlips(std::string file_name, std::FILE* out = stderr);
  SettingsSlips(const SettingsSlips&) = delete;
  SettingsSlips& operator=(const SettingsSlips&) = delete;

  // Call once for every line read, skipped lines included, before it is
  // parsed: the parse may take the line's bytes, and the first line is
  // looked at for a byte-order mark here.
  void count_line(std::string_view line) {
    if (++line_number_ == 1) check_first_line(line);
  }
  // Looks at a line that was parsed, with what the parse found; `store` is
  // the store after the line. `line` is read only when the line had no
  // ':' (and so gave nothing the parse could take). Most lines need no
  // closer look, and a file may hold millions: those return here, inline.
  void check(std::string_view line, const SettingsLineFacts& facts, const SettingsStore& store) {
    if (line_number_ > 1 && facts.separated && facts.read_keys == 0) return;
    check_closely(line, facts, store);
  }
  // Says how many warnings were not listed, if any. Call once at the end.
  void finish();

 private:
  void check_first_line(std::string_view line);
  void check_closely(std::string_view line, const SettingsLineFacts& facts,
                     const SettingsStore& store);
  void check_read_key(unsigned bit, const SettingsLineFacts& facts, const SettingsStore& store);
  void warn(const std::string& text);

  std::string file_name_;
  std::FILE* out_;
  std::size_t line_number_ = 0;
  // The first line is a comment behind a byte-order mark: it has had its
  // warning, and needs no other.
  bool marked_comment_ = false;
  // The line that gave "string" and "saori" their values; 0 while none has.
  std::size_t request_line_ = 0;
  std::size_t module_line_ = 0;
  std::size_t listed_ = 0;
  std::size_t unlisted_ = 0;
};
