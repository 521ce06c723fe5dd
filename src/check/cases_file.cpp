#include "check/cases_file.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "platform/files.h"
#include "settings/reserve_room.h"
#include "settings/settings_line_parser.h"
#include "settings/settings_reader.h"
#include "text/text_file.h"

namespace {

enum CaseKey { kModule, kRequest, kReply, kRepeat, kName, kKeyCount };
constexpr std::string_view kKeyNames[kKeyCount] = {"module", "request", "reply", "repeat", "name"};

// The least a case takes in a file: "request:" and a line feed.
constexpr std::size_t kLeastCaseBytes = 9;

bool is_blank_line(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Room taken once for what a file of `size` bytes can hold at most: only
// address space, since pages cost when written, and in large pages where
// the system has them. Without it the file is still read, its containers
// grown step by step.
void make_room(CasesFile& file, std::size_t size) {
  if (!try_reserve(file.text, size) || !try_reserve(file.cases, size / kLeastCaseBytes + 1)) return;
  prefer_large_pages_for(file.text);
  prefer_large_pages_for(file.cases);
}

// Collects the lines of one case and checks them as a whole.
class CaseBuilder {
 public:
  CaseBuilder(const std::string& path, CasesFile& file, std::vector<std::string>& errors)
      : path_(path), file_(file), errors_(errors) {}

  void add_line(std::uint32_t number, std::string_view line) {
    if (current_.line == 0) {
      current_ = CheckCase();
      current_.line = number;
      current_.text = file_.text.size();
      for (std::uint32_t& seen : seen_) seen = 0;
    }
    std::string_view text = line;
    next_settings_token(key_, text, SettingsTokenMode::kKey);
    take_settings_char(stop_, text);
    if (stop_ != ":") return error(number, "not a \"key: value\" line");
    int key = find_key();
    if (key == kKeyCount) {
      if (key_.empty()) return error(number, "no key before the colon");
      return error(number, "unknown key \"" + key_ +
                               "\"; a case takes module, request, reply, repeat and name");
    }
    if (seen_[key] != 0) {
      return error(number, std::string(kKeyNames[key]) + ": given twice in one case (line " +
                               std::to_string(seen_[key]) + ")");
    }
    seen_[key] = number;
    next_settings_value_exact(value_, text, SettingsTokenMode::kLine);
    if (!text.empty()) {
      return error(number, "a NUL byte outside quotes ends the value; put it inside quotes");
    }
    store(key, number);
  }

  // Ends the case being built, if any, and files it.
  void close() {
    if (current_.line == 0) return;
    if (seen_[kRequest] == 0) {
      error(current_.line, "the case has no request: line");
    } else if (seen_[kModule] == 0 && file_.cases.empty()) {
      error(current_.line, "the first case names no module: line");
    } else {
      if (seen_[kModule] == 0) current_.module = file_.cases.back().module;
      file_.cases.push_back(current_);
    }
    current_.line = 0;
  }

 private:
  int find_key() const {
    for (int key = 0; key < kKeyCount; ++key) {
      if (std::string_view(key_) == kKeyNames[key]) return key;
    }
    return kKeyCount;
  }

  CaseText keep_value(std::uint32_t number) {
    std::size_t offset = file_.text.size() - current_.text;
    if (offset + value_.size() > UINT32_MAX) {
      error(number, "the case holds more than 4 GiB of text");
      return CaseText();
    }
    file_.text += value_;
    return CaseText{static_cast<std::uint32_t>(offset), static_cast<std::uint32_t>(value_.size())};
  }

  std::uint32_t module_index() {
    for (std::size_t index = file_.modules.size(); index-- > 0;) {
      if (file_.modules[index] == value_) return static_cast<std::uint32_t>(index);
    }
    file_.modules.push_back(value_);
    return static_cast<std::uint32_t>(file_.modules.size() - 1);
  }

  void store(int key, std::uint32_t number) {
    switch (key) {
      case kModule:
        if (value_.empty()) return error(number, "module: names no module");
        current_.module = module_index();
        break;
      case kRequest:
        current_.request_line = number;
        current_.request = keep_value(number);
        break;
      case kReply:
        current_.reply_line = number;
        current_.has_reply = true;
        current_.reply = keep_value(number);
        break;
      case kRepeat:
        current_.has_repeat = true;
        current_.repeat = parse_repeat_count(value_);
        if (current_.repeat == 0) {
          error(number, "repeat: must be a whole number from 1 to " + std::to_string(kMostRepeats) +
                            ", not \"" + value_ + "\"");
        }
        break;
      case kName:
        current_.name = keep_value(number);
        break;
    }
  }

  void error(std::uint32_t number, const std::string& text) {
    errors_.push_back(path_ + ":" + std::to_string(number) + ": " + text);
  }

  const std::string& path_;
  CasesFile& file_;
  std::vector<std::string>& errors_;
  CheckCase current_;
  std::uint32_t seen_[kKeyCount] = {};  // the line of each key in this case
  std::string key_;
  std::string stop_;
  std::string value_;
};

}  // namespace

std::uint32_t parse_repeat_count(const std::string& text) {
  if (text.empty() || text.size() > 10) return 0;
  unsigned long long count = 0;
  for (char digit : text) {
    if (digit < '0' || digit > '9') return 0;
    count = count * 10 + static_cast<unsigned long long>(digit - '0');
  }
  return count <= kMostRepeats ? static_cast<std::uint32_t>(count) : 0;
}

CasesFileResult read_cases_file(const std::string& path, CasesFile& file,
                                std::vector<std::string>& errors) {
  TextFile* text_file = open_text_file(path.c_str());
  if (text_file == nullptr) {
    // Taken at once, before anything else may change it.
    std::string reason = std::strerror(errno);
    // A relative path is read from wherever the run was started, which is
    // not always where the user thinks.
    std::string where;
    if (is_relative_path(path) && get_current_directory(where)) where = " in " + where;
    errors.push_back("cannot open the cases file " + path + where + ": " + reason);
    return kCasesFileUnreadable;
  }
  make_room(file, text_file_size(text_file));
  CaseBuilder builder(path, file, errors);
  std::string line;
  std::uint32_t number = 0;
  while (read_settings_line(line, text_file)) {
    if (number == UINT32_MAX) {
      errors.push_back(path + ": the file has more than " + std::to_string(UINT32_MAX) + " lines");
      break;
    }
    ++number;
    std::string_view text = line;
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (is_blank_line(text)) {
      builder.close();
    } else if (text[0] != '#') {
      builder.add_line(number, text);
    }
  }
  builder.close();
  close_text_file(text_file);
  if (errors.empty() && file.cases.empty()) errors.push_back(path + ": the file holds no case");
  return errors.empty() ? kCasesRead : kCasesFileBad;
}
