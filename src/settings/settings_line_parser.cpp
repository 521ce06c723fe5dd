#include "settings/settings_line_parser.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "settings/settings_reader.h"
#include "text/lead_byte.h"

namespace {

constexpr char kQuote = '"';
constexpr char kBackslash = '\\';

// Length of the character at `index`: a lead byte takes the byte after it,
// when there is one.
std::size_t char_length(std::string_view text, std::size_t index) {
  return is_lead_byte(static_cast<unsigned char>(text[index])) && index + 1 < text.size() ? 2 : 1;
}

bool is_one_byte(std::string_view text, char byte) {
  return !text.empty() && text[0] == byte && char_length(text, 0) == 1;
}

// What a byte does in a run, as a number to step by: 0 ends the run, 1 is
// a one-byte character, 2 a lead byte that takes the byte after it along.
using RunSteps = std::array<unsigned char, 256>;

RunSteps make_run_steps(bool quoted, int mode) {
  RunSteps steps{};
  for (int byte = 0; byte < 256; ++byte) {
    unsigned char value = static_cast<unsigned char>(byte);
    bool ends =
        value == kQuote || value == kBackslash || (!quoted && !is_settings_token_char(value, mode));
    steps[value] = is_lead_byte(value) ? 2 : ends ? 0 : 1;
  }
  return steps;
}

const RunSteps& run_steps(bool quoted, int mode) {
  static const RunSteps kQuoted = make_run_steps(true, kValueMode);
  static const RunSteps kModes[] = {make_run_steps(false, 0), make_run_steps(false, 1),
                                    make_run_steps(false, 2), make_run_steps(false, 3),
                                    make_run_steps(false, 4)};
  if (quoted) return kQuoted;
  unsigned int index = static_cast<unsigned int>(mode);
  return kModes[index < 5 ? index : 1];
}

// The longest run at the front of `text` that a token copies as it stands:
// two-byte characters, and one-byte characters that are neither a quote nor
// a backslash and, outside quotes, do not end the token. One table look-up a
// character, and runs appended whole rather than character by character,
// keep long values cheap.
std::size_t plain_run(std::string_view text, bool quoted, int mode) {
  const RunSteps& steps = run_steps(quoted, mode);
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  std::size_t index = 0;
  // Four one-byte characters at a time while there are: only 1 & 1 & 1 & 1
  // gives 1, as both other steps have that bit clear.
  while (index + 4 <= text.size() && (steps[bytes[index]] & steps[bytes[index + 1]] &
                                      steps[bytes[index + 2]] & steps[bytes[index + 3]]) == 1) {
    index += 4;
  }
  // The index moves by one unless a branch says otherwise: stepping by the
  // looked-up value would make every look-up wait for the one before.
  for (; index < text.size(); ++index) {
    unsigned char step = steps[bytes[index]];
    if (step == 1) continue;
    if (step == 0) break;
    ++index;  // a lead byte takes the byte after it along
  }
  // A lead byte at the very end stands alone.
  return std::min(index, text.size());
}

void append_run(std::string& token, std::string_view& text, bool quoted, int mode) {
  std::size_t run = plain_run(text, quoted, mode);
  token.append(text.data(), run);
  text.remove_prefix(run);
}

// A backslash outside quotes: r and n stand for CR and LF, anything else is
// dropped with the backslash.
void read_unquoted_escape(std::string& token, std::string_view& text) {
  std::string escaped;
  if (take_settings_char(escaped, text) != 1) return;
  if (escaped[0] == 'r') token += '\r';
  if (escaped[0] == 'n') token += '\n';
}

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

// Takes the character that ended a token off `text`; true when it was a
// colon.
bool take_stop(std::string_view& text) {
  if (text.empty()) return false;
  bool colon = is_one_byte(text, ':');
  text.remove_prefix(char_length(text, 0));
  return colon;
}

// Which of the keys the run reads `key` is, as a SettingsLineFacts bit.
unsigned read_key_bit(const std::string& key) {
  if (key == kRequestKey) return kRequestKeyBit;
  if (key == kModuleKey) return kModuleKeyBit;
  return 0;
}

// Reads one token untrimmed, blanks skipped before it. Returns the length
// the token had after its last quoted segment or escape: what was written
// on purpose ends there at the earliest.
std::size_t read_token(std::string& token, std::string_view& text, int mode) {
  skip_settings_blanks(text);
  token.clear();
  std::size_t written = 0;
  while (!text.empty()) {
    append_run(token, text, false, mode);
    if (is_one_byte(text, kQuote)) {
      text.remove_prefix(1);
      read_settings_quoted(token, text);
    } else if (is_one_byte(text, kBackslash)) {
      text.remove_prefix(1);
      read_unquoted_escape(token, text);
    } else {
      break;  // empty, or a character that ends the token
    }
    written = token.size();
  }
  return written;
}

}  // namespace

int peek_settings_char(std::string& ch, std::string_view text) {
  if (text.empty()) {
    ch.clear();
    return 0;
  }
  std::size_t length = char_length(text, 0);
  ch.assign(text.data(), length);
  return static_cast<int>(length);
}

int take_settings_char(std::string& ch, std::string_view& text) {
  int kind = peek_settings_char(ch, text);
  text.remove_prefix(kind);
  return kind;
}

void skip_settings_blanks(std::string_view& text) {
  while (!text.empty() && (text[0] == ' ' || text[0] == '\t')) text.remove_prefix(1);
}

void trim_settings_token(std::string& token) {
  std::size_t end = token.size();
  while (end > 0 && (token[end - 1] == '\n' || token[end - 1] == ' ' || token[end - 1] == '\t')) {
    --end;
  }
  token.resize(end);
}

int is_settings_token_char(unsigned char byte, int mode) {
  if (byte == '\0' || byte == '\n' || byte == '\r') return 0;
  switch (static_cast<unsigned int>(mode)) {
    case 0:
      return byte != ',' && byte != ':';
    case 2:
    case 4:
      return 1;
    case 3:
      return byte != ' ';
    default:
      return byte != ',';
  }
}

int read_settings_escape(std::string& token, std::string_view& text) {
  std::string escaped;
  if (take_settings_char(escaped, text) == 0) return 1;
  if (escaped != "\\") {
    token += escaped;
    return 1;
  }
  // Two backslashes: \\n and \\r are the line breaks; any other character is
  // appended and left in the text, so the quoted segment reads it again.
  std::string next;
  peek_settings_char(next, text);
  if (next == "n" || next == "r") {
    text.remove_prefix(1);
    token += next == "n" ? '\n' : '\r';
  } else {
    token += next;
  }
  return 1;
}

int read_settings_quoted(std::string& token, std::string_view& text) {
  while (!text.empty()) {
    append_run(token, text, true, kValueMode);
    std::string ch;
    if (take_settings_char(ch, text) == 0) break;
    if (ch[0] == kQuote) break;
    read_settings_escape(token, text);
  }
  return 1;
}

int next_settings_token(std::string& token, std::string_view& text, int mode) {
  read_token(token, text, mode);
  trim_settings_token(token);
  return token.empty() ? 0 : 1;
}

int next_settings_value_exact(std::string& token, std::string_view& text, int mode) {
  std::size_t written = read_token(token, text, mode);
  std::size_t end = token.size();
  while (end > written && (token[end - 1] == ' ' || token[end - 1] == '\t')) --end;
  token.resize(end);
  return token.empty() ? 0 : 1;
}

namespace {

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
  skip_settings_blanks(rest);
  std::size_t run = plain_run(rest, false, kValueMode);
  if (run < kTakeOverBytes || owner.capacity() / 2 > run) return false;
  std::string_view after = rest.substr(run);
  if (!after.empty() && after != "\n") return false;
  std::string_view value = rest.substr(0, run);
  // As trim_settings_token: a lead byte may have taken the line feed along.
  while (!value.empty() && (value.back() == '\n' || value.back() == ' ' || value.back() == '\t')) {
    value.remove_suffix(1);
  }
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
    if (next_settings_token(token, line, kKeyMode)) {
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
    next_settings_token(token, line, kValueMode);
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

int SettingsReader::parse_settings_line(SettingsStore& store, std::string_view line) const {
  SettingsLineFacts facts;
  SettingsLineScratch scratch;
  return parse_settings_line(store, line, facts, scratch);
}

int SettingsReader::parse_settings_line(SettingsStore& store, std::string_view line,
                                        SettingsLineFacts& facts) const {
  SettingsLineScratch scratch;
  return parse_settings_line(store, line, facts, scratch);
}

int SettingsReader::parse_settings_line(SettingsStore& store, std::string_view line,
                                        SettingsLineFacts& facts,
                                        SettingsLineScratch& scratch) const {
  return parse_line(store, line, facts, scratch, nullptr);
}

int SettingsReader::parse_settings_line_consuming(SettingsStore& store, std::string& line,
                                                  SettingsLineFacts& facts,
                                                  SettingsLineScratch& scratch) const {
  return parse_line(store, line, facts, scratch, &line);
}
