#pragma once

// Inputs for the benchmarks and the whole-process comparison, made the same
// way every time so that runs can be compared with each other.

#include <cstddef>
#include <string>

// Kinds of settings line, each `size` bytes long with its line feed.
enum class SettingsLineKind {
  kPlain,        // one long unquoted value
  kQuoted,       // quoted segments with escapes, inside and outside quotes
  kManyPairs,    // eight keys and as many short values as fit
  kTwoByteText,  // Shift_JIS text, second bytes that look like delimiters included
};
std::string make_settings_line(SettingsLineKind kind, std::size_t size);

// Kinds of module-list line, each `size` bytes long with its line feed;
// every byte of one is read and neither field overflows, up to the longest
// line the list reader hands over (32767 bytes).
enum class ModuleLineKind {
  kSeparated,  // long runs of separators around two plain fields
  kEscaped,    // both fields made of quoted parts full of escapes
};
std::string make_module_line(ModuleLineKind kind, std::size_t size);

// The settings files the read benchmarks and the comparison use, 64 MiB
// each: one long value, 2^20 dictionary lines, 100,000 distinct keys.
constexpr std::size_t kSettingsFileSize = std::size_t{64} << 20;
extern const char* const kSettingsFileNames[3];
// Writes `name` (one of the above) as test.ini into `directory`, which ends
// in a slash. Returns false when the file cannot be written.
bool write_settings_file(const std::string& directory, const std::string& name);
