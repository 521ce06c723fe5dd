#include "settings/settings_slips.h"

#include <utility>

#include "text/lead_byte.h"

namespace {

// A file with many slips gets this many lines, then one that counts the rest:
// a file of binary junk must not flood the terminal.
constexpr std::size_t kListedWarnings = 20;

// How many bytes of a line or value a warning shows.
constexpr std::size_t kExcerptBytes = 60;

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// `text` in double quotes, on one line: control bytes, quotes and
// backslashes escaped, two-byte characters kept whole, and cut after
// kExcerptBytes bytes with "..." to say so.
std::string quoted_excerpt(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out = "\"";
  std::size_t index = 0;
  while (index < text.size() && index < kExcerptBytes) {
    unsigned char byte = static_cast<unsigned char>(text[index]);
    if (is_lead_byte(byte) && index + 1 < text.size()) {
      out.append(text.data() + index, 2);
      index += 2;
      continue;
    }
    ++index;
    if (byte == '"' || byte == '\\') {
      out += '\\';
      out += static_cast<char>(byte);
    } else if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += static_cast<char>(byte);
    }
  }
  if (index < text.size()) out += "...";
  return out + "\"";
}

bool is_blank_line(std::string_view line) {
  return line.find_first_not_of(" \t\n") == std::string_view::npos;
}

std::string_view without_line_feed(std::string_view line) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  return line;
}

// Why a line that is not blank stored nothing for want of a ':'.
std::string missing_separator_text(std::string_view line) {
  std::string_view shown = without_line_feed(line);
  std::string text = quoted_excerpt(shown);
  if (shown.find(':') != std::string_view::npos) {
    return text +
           " sets nothing: its ':' is inside double quotes or is read as the second byte of a "
           "two-byte character (see \"Two-byte text\" in the README)";
  }
  std::size_t equals = shown.find('=');
  if (equals != std::string_view::npos) {
    std::string fixed(shown);
    fixed[equals] = ':';
    return text + " has no ':', so it sets nothing; settings are written key:value, as in " +
           quoted_excerpt(fixed);
  }
  std::size_t first = shown.find_first_not_of(" \t");
  if (first != std::string_view::npos && shown[first] == '#') {
    return text +
           " sets nothing, and it is no comment either: only a '#' as the very first byte of a "
           "line starts a comment";
  }
  return text + " has no ':' between key and value, so it sets nothing";
}

}  // namespace

SettingsSlips::SettingsSlips(std::string file_name, std::FILE* out)
    : file_name_(std::move(file_name)), out_(out) {}

void SettingsSlips::check_first_line(std::string_view line) {
  if (line.substr(0, kByteOrderMark.size()) != kByteOrderMark) return;
  line.remove_prefix(kByteOrderMark.size());
  marked_comment_ = !line.empty() && line[0] == '#';
  warn(std::string("the file begins with a UTF-8 byte-order mark, whose three invisible bytes "
                   "(EF BB BF) become part of the first key, so ") +
       (marked_comment_ ? "this comment line is read as a setting"
                        : "this line does not set the key it shows") +
       "; save the file without the mark");
}

void SettingsSlips::check_closely(std::string_view line, const SettingsLineFacts& facts,
                                  const SettingsStore& store) {
  if (line_number_ == 1 && marked_comment_) return;
  if (!facts.separated) {
    if (!is_blank_line(line)) warn(missing_separator_text(line));
    return;
  }
  if (facts.read_keys == 0 || facts.values == 0) return;
  if (facts.read_keys & kRequestKeyBit) check_read_key(kRequestKeyBit, facts, store);
  if (facts.read_keys & kModuleKeyBit) check_read_key(kModuleKeyBit, facts, store);
}

void SettingsSlips::check_read_key(unsigned bit, const SettingsLineFacts& facts,
                                   const SettingsStore& store) {
  bool request = bit == kRequestKeyBit;
  std::string key(request ? kRequestKey : kModuleKey);
  std::size_t& first_line = request ? request_line_ : module_line_;
  auto stored = store.values.find(key);
  // A view: the excerpt needs only the value's first bytes, not a copy of it.
  std::string value = quoted_excerpt(stored != store.values.end() ? std::string_view(stored->second)
                                                                  : std::string_view());
  if (first_line != 0) {
    warn(key + " is given again; the value from line " + std::to_string(first_line) + ", " + value +
         ", is kept, since a key keeps the first value it gets, and this line's is "
         "dropped");
    return;
  }
  first_line = line_number_;
  if (request && facts.values > 1) {
    warn("the value of " + key + " is cut at an unquoted comma: the request is " + value +
         ", and the rest became a second value, which is dropped; put the value in double "
         "quotes to keep its commas");
  }
}

void SettingsSlips::warn(const std::string& text) {
  if (listed_ == kListedWarnings) {
    ++unlisted_;
    return;
  }
  ++listed_;
  // One write a line: standard error is unbuffered, and a line written in
  // pieces could be split by what a module writes there.
  std::string line =
      "modtest: " + file_name_ + " line " + std::to_string(line_number_) + ": " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), out_);
}

void SettingsSlips::finish() {
  if (unlisted_ == 0) return;
  std::string line = "modtest: " + file_name_ + ": " + std::to_string(unlisted_) +
                     " more warnings like these are not listed\n";
  std::fwrite(line.data(), 1, line.size(), out_);
}
