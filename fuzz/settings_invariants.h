#pragma once

#include <bitset>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "settings/settings_store.h"

// The bytes a stored key or value may hold: those of the input, plus the
// line breaks that escapes produce.
inline std::bitset<256> allowed_bytes(std::string_view input) {
  std::bitset<256> allowed;
  for (char c : input) allowed.set(static_cast<unsigned char>(c));
  allowed.set('\r');
  allowed.set('\n');
  return allowed;
}

// What every stored key and value must look like, whatever the input: never
// empty, never ending in a byte the trim removes, made of input bytes only,
// and no longer than the input itself.
inline void check_stored_text(const std::string& text, const std::bitset<256>& allowed,
                              std::size_t input_size) {
  FUZZ_CHECK(!text.empty());
  FUZZ_CHECK(text.size() <= input_size);
  char last = text.back();
  FUZZ_CHECK(last != '\n' && last != ' ' && last != '\t');
  for (char c : text) FUZZ_CHECK(allowed.test(static_cast<unsigned char>(c)));
}

inline void check_store(const SettingsStore& store, std::string_view input) {
  std::bitset<256> allowed = allowed_bytes(input);
  for (const auto& [key, value] : store.values) {
    FUZZ_CHECK(key != "dict" && key != "DICT");
    check_stored_text(key, allowed, input.size());
    check_stored_text(value, allowed, input.size());
  }
  for (const std::string& entry : store.dictionaries.to_vector()) {
    check_stored_text(entry, allowed, input.size());
  }
}
