#include "settings/settings_reader.h"

#include <utility>
#include <vector>

#include "settings/settings_line_parser.h"
#include "text/text_cursor.h"

namespace {

// Stores the value under the first `count` keys, in order; none is empty.
// The last of them takes the value itself rather than a copy: a long value is
// then never copied a second time. `value` is left for the caller to reuse.
void store_under_keys(SettingsStore& store, const std::vector<std::string>& keys, std::size_t count,
                      std::string& value) {
  if (value.empty() || count == 0) return;
  for (std::size_t index = 0; index + 1 < count; ++index) {
    store_setting(store, keys[index], value);
  }
  store_setting(store, keys[count - 1], std::move(value));
}

// Keeps only the dictionary keys among the first `count`, in order, and
// returns how many there are. Keys are swapped rather than dropped so that
// their strings are reused by later lines.
std::size_t keep_dictionary_keys(std::vector<std::string>& keys, std::size_t count) {
  std::size_t kept = 0;
  for (std::size_t index = 0; index < count; ++index) {
    if (!is_dictionary_key(keys[index])) continue;
    if (kept != index) keys[kept].swap(keys[index]);
    ++kept;
  }
  return kept;
}

// Takes the character that ended a token off `line`; true when it was a
// colon.
bool take_stop(std::string_view& line) {
  TextCursor text(line);
  bool colon = text.at_byte(':');
  text.take_char();
  line = text.rest();
  return colon;
}

// Which of the keys the run reads `key` is, as a SettingsLineFacts bit.
unsigned read_key_bit(const std::string& key) {
  if (key == kRequestKey) return kRequestKeyBit;
  if (key == kModuleKey) return kModuleKeyBit;
  return 0;
}

// Values at least this long are taken over from the line rather than copied.
constexpr std::size_t kTakeOverBytes = 64 * 1024;

// When what is left of the line is one long plain run (a value with no
// quote, escape or comma, then at most the line feed) and the last key will
// keep it, the line's own buffer becomes that value: a value of many
// megabytes is then never written into fresh memory a second time, nor
// held twice. Returns true when it took the line, which is then empty; a
// line with room far beyond the value is copied as usual, so that the
// store does not keep the spare room.
bool take_whole_value(SettingsStore& store, const std::vector<std::string>& keys,
                      std::size_t key_count, std::string_view rest, std::string& owner) {
  // Most lines are short: they leave here without a look at their bytes.
  if (key_count == 0 || rest.size() < kTakeOverBytes) return false;
  const std::string& last_key = keys[key_count - 1];
  if (is_dictionary_key(last_key) || store.values.count(last_key) != 0) return false;
  TextCursor text(rest);
  text.skip_blanks();
  rest = text.rest();
  std::size_t run = plain_value_length(rest);
  if (run < kTakeOverBytes || owner.capacity() / 2 > run) return false;
  std::string_view after = rest.substr(run);
  if (!after.empty() && after != "\n") return false;
  // Trimmed as a token is: a lead byte may have taken the line feed along.
  std::string_view value = rest.substr(0, trimmed_length(rest.substr(0, run)));
  std::size_t begin = static_cast<std::size_t>(value.data() - owner.data());
  owner.resize(begin + value.size());
  owner.erase(0, begin);
  store_under_keys(store, keys, key_count, owner);
  owner.clear();
  return true;
}

// Parses `line`; `owner`, when given, is the string `line` views, which the
// last value may take over (see take_whole_value).
int parse_line(SettingsStore& store, std::string_view line, SettingsLineFacts& facts,
               SettingsLineScratch& scratch, std::string* owner) {
  std::vector<std::string>& keys = scratch.keys;
  std::string& token = scratch.token;
  std::size_t key_count = 0;
  for (;;) {
    // An empty key never stores anything; keeping it would make a line of
    // commas cost a string per byte.
    if (next_settings_token(token, line, SettingsTokenMode::kKey)) {
      facts.read_keys |= read_key_bit(token);
      if (key_count == keys.size()) keys.emplace_back();
      keys[key_count++].assign(token);
    }
    if (take_stop(line)) {
      facts.separated = true;
      break;
    }
    if (line.empty()) break;
  }
  int result = 0;
  bool ordinary_keys_set = false;
  while (!line.empty()) {
    result = 1;
    if (owner != nullptr && take_whole_value(store, keys, key_count, line, *owner)) {
      ++facts.values;
      break;
    }
    next_settings_token(token, line, SettingsTokenMode::kValue);
    if (!token.empty()) ++facts.values;
    bool first_value = !ordinary_keys_set && !token.empty();
    store_under_keys(store, keys, key_count, token);
    if (first_value) {
      // Every other key now holds its first value, which no later one
      // replaces: only the dictionary keys take more. Without this a line of
      // n keys and n values costs n * n lookups.
      key_count = keep_dictionary_keys(keys, key_count);
      ordinary_keys_set = true;
    }
    take_stop(line);
  }
  return result;
}

}  // namespace

int SettingsReader::parse_settings_line(SettingsStore& store, std::string_view line,
                                        SettingsLineFacts* facts,
                                        SettingsLineScratch* scratch) const {
  SettingsLineFacts unused_facts;
  SettingsLineScratch own_scratch;
  return parse_line(store, line, facts != nullptr ? *facts : unused_facts,
                    scratch != nullptr ? *scratch : own_scratch, nullptr);
}

int SettingsReader::parse_settings_line_consuming(SettingsStore& store, std::string& line,
                                                  SettingsLineFacts& facts,
                                                  SettingsLineScratch& scratch) const {
  return parse_line(store, line, facts, scratch, &line);
}
