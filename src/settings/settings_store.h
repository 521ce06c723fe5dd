#pragma once

#include <map>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

// The values given under "dict" or "DICT", in order. They sit in one block,
// each followed by a line feed, with where each ends: a million short
// entries are then one growing block rather than a million strings, and the
// report writes them as they stand.
class DictionaryEntries {
 public:
  void push_back(std::string_view entry);
  // Room for this many bytes of entries and line feeds; only a hint.
  void reserve(std::size_t bytes);
  std::size_t size() const { return ends_.size(); }
  bool empty() const { return ends_.empty(); }
  std::string_view operator[](std::size_t index) const;
  // Every entry followed by a line feed.
  std::string_view lines() const { return text_; }
  std::vector<std::string> to_vector() const;

 private:
  void reserve_ends();

  std::string text_;
  std::vector<std::size_t> ends_;  // just past each entry's line feed
};

bool operator==(const DictionaryEntries& entries, const std::vector<std::string>& expected);
bool operator==(const std::vector<std::string>& expected, const DictionaryEntries& entries);
// The entries as a list of quoted strings, for test failures.
std::ostream& operator<<(std::ostream& out, const DictionaryEntries& entries);

// The settings of one run. std::string compares its bytes as unsigned chars,
// so `values` iterates in plain byte order: capitals before small letters,
// bytes from 0x80 after all of ASCII, a prefix before its extensions.
struct SettingsStore {
  std::map<std::string, std::string> values;
  DictionaryEntries dictionaries;
};

// The two settings the run itself reads: the request text and the name of
// the module to send it to.
constexpr std::string_view kRequestKey = "string";
constexpr std::string_view kModuleKey = "saori";

// "dict" and "DICT", exactly, give dictionary entries rather than a setting.
inline bool is_dictionary_key(std::string_view key) {
  return key == "dict" || key == "DICT";
}

// Files the pair. "dict" and "DICT" (exactly) add a dictionary entry; any
// other key keeps the first value it was given. Always returns 1. The value
// is copied (or moved) only when it is kept: a line that gives many values
// to a key already set costs no copies.
int store_setting(SettingsStore& store, const std::string& key, const std::string& value);
int store_setting(SettingsStore& store, const std::string& key, std::string&& value);

// Writes every setting as key, ":\t", value and a line feed in key order,
// then every dictionary entry on a line of its own.
void dump_settings(const SettingsStore& store, std::ostream& out);

// Copies the value stored under `key` into `value`; an absent key yields the
// empty string and adds nothing to the store. Always returns 1.
int get_setting(const SettingsStore& store, std::string& value, const std::string& key);

// As get_setting, but moves the value out: the store keeps the key with an
// empty value. A long value then costs no copy.
int take_setting(SettingsStore& store, std::string& value, const std::string& key);
