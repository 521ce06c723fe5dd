#include "driver/cases_file.h"

#include <string_view>

#include "platform/platform.h"
#include "settings/settings_line_parser.h"
#include "settings/settings_reader.h"

namespace {

enum CaseKey { kModule, kRequest, kReply, kRepeat, kName, kKeyCount };
constexpr const char* kKeyNames[kKeyCount] = {"module", "request", "reply", "repeat", "name"};

bool is_blank_line(std::string_view line) {
  return line.find_first_not_of(" \t") == std::string_view::npos;
}

// Collects the lines of one case and checks them as a whole.
class CaseBuilder {
 public:
  CaseBuilder(const std::string& path, std::vector<std::string>& errors)
      : path_(path), errors_(errors) {}

  bool open() const { return current_.line != 0; }

  void add_line(std::size_t number, std::string_view line) {
    if (!open()) {
      current_ = CheckCase();
      current_.line = number;
      for (std::size_t& seen : seen_) seen = 0;
    }
    std::string_view text = line;
    next_settings_token(key_, text, kKeyMode);
    std::string stop;
    take_settings_char(stop, text);
    if (stop != ":") return error(number, "not a \"key: value\" line");
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
    next_settings_value_exact(value_, text, kLineMode);
    if (!text.empty()) {
      return error(number, "a NUL byte outside quotes ends the value; put it inside quotes");
    }
    store(key, number);
  }

  // Ends the case being built, if any, and adds it to `cases`.
  void close(std::vector<CheckCase>& cases) {
    if (!open()) return;
    if (seen_[kRequest] == 0) {
      error(current_.line, "the case has no request: line");
    } else if (seen_[kModule] == 0 && cases.empty()) {
      error(current_.line, "the first case names no module: line");
    } else {
      if (seen_[kModule] == 0) current_.module = cases.back().module;
      cases.push_back(std::move(current_));
    }
    current_.line = 0;
  }

 private:
  int find_key() const {
    for (int key = 0; key < kKeyCount; ++key) {
      if (key_ == kKeyNames[key]) return key;
    }
    return kKeyCount;
  }

  void store(int key, std::size_t number) {
    switch (key) {
      case kModule:
        if (value_.empty()) return error(number, "module: names no module");
        current_.module.swap(value_);
        break;
      case kRequest:
        current_.request_line = number;
        current_.request.swap(value_);
        break;
      case kReply:
        current_.reply_line = number;
        current_.has_reply = true;
        current_.reply.swap(value_);
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
        current_.name.swap(value_);
        break;
    }
  }

  void error(std::size_t number, const std::string& text) {
    errors_.push_back(path_ + ":" + std::to_string(number) + ": " + text);
  }

  const std::string& path_;
  std::vector<std::string>& errors_;
  CheckCase current_;
  std::size_t seen_[kKeyCount] = {};  // the line of each key in this case
  std::string key_;
  std::string value_;
};

}  // namespace

unsigned long parse_repeat_count(const std::string& text) {
  if (text.empty() || text.size() > 10) return 0;
  unsigned long long count = 0;
  for (char digit : text) {
    if (digit < '0' || digit > '9') return 0;
    count = count * 10 + static_cast<unsigned long long>(digit - '0');
  }
  return count <= kMostRepeats ? static_cast<unsigned long>(count) : 0;
}

CasesFileResult read_cases_file(const std::string& path, std::vector<CheckCase>& cases,
                                std::vector<std::string>& errors) {
  TextFile* file = open_text_file(path.c_str());
  if (file == nullptr) return kCasesFileUnreadable;
  CaseBuilder builder(path, errors);
  std::string line;
  std::size_t number = 0;
  while (read_settings_line(line, file)) {
    ++number;
    std::string_view text = line;
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (is_blank_line(text)) {
      builder.close(cases);
    } else if (text[0] != '#') {
      builder.add_line(number, text);
    }
  }
  builder.close(cases);
  close_text_file(file);
  if (errors.empty() && cases.empty()) errors.push_back(path + ": the file holds no case");
  return errors.empty() ? kCasesRead : kCasesFileBad;
}
