// Any bytes as one settings line: the parser must neither crash nor read
// outside the line, and what it stores must be well formed.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "settings/settings_reader.h"
#include "settings_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view line(reinterpret_cast<const char*>(data), size);
  SettingsStore store;
  SettingsReader reader;
  int result = reader.parse_settings_line(store, line);
  FUZZ_CHECK(result == 0 || result == 1);
  // A stored pair needs a separator with text after it, which is what 1 says.
  if (!store.values.empty() || !store.dictionaries.empty()) FUZZ_CHECK(result == 1);
  check_store(store, line);
  return 0;
}
