#include "settings/settings_store.h"

#include <utility>

int store_setting(SettingsStore& store, const std::string& key, std::string value) {
  if (key == "dict" || key == "DICT") {
    store.dictionaries.push_back(std::move(value));
  } else {
    // try_emplace leaves `value` alone when the key is taken: the first wins.
    store.values.try_emplace(key, std::move(value));
  }
  return 1;
}

void dump_settings(const SettingsStore& store, std::ostream& out) {
  for (const auto& [key, value] : store.values) out << key << ":\t" << value << '\n';
  for (const std::string& entry : store.dictionaries) out << entry << '\n';
}

int get_setting(const SettingsStore& store, std::string& value, const std::string& key) {
  auto found = store.values.find(key);
  if (found == store.values.end()) {
    value.clear();
  } else {
    value = found->second;
  }
  return 1;
}
