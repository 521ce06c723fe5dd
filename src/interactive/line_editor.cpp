#include "interactive/line_editor.h"

namespace {

constexpr unsigned char kCtrlA = 0x01;
constexpr unsigned char kCtrlB = 0x02;
constexpr unsigned char kCtrlC = 0x03;
constexpr unsigned char kCtrlD = 0x04;
constexpr unsigned char kCtrlE = 0x05;
constexpr unsigned char kCtrlF = 0x06;
constexpr unsigned char kCtrlH = 0x08;
constexpr unsigned char kCtrlK = 0x0b;
constexpr unsigned char kCtrlN = 0x0e;
constexpr unsigned char kCtrlP = 0x10;
constexpr unsigned char kCtrlU = 0x15;
constexpr unsigned char kEscape = 0x1b;
constexpr unsigned char kDelete = 0x7f;

// UTF-8 continuation bytes belong to the character before them: the cursor
// never stops between them, and the terminal shows none of them as a column.
bool is_continuation(unsigned char byte) {
  return (byte & 0xc0) == 0x80;
}

std::size_t columns(const std::string& text, std::size_t from) {
  std::size_t count = 0;
  for (std::size_t at = from; at < text.size(); ++at) {
    if (!is_continuation(static_cast<unsigned char>(text[at]))) ++count;
  }
  return count;
}

}  // namespace

void LineEditor::start(const std::string& prompt, std::string& screen) {
  prompt_ = prompt;
  line_.clear();
  draft_.clear();
  escape_.clear();
  cursor_ = 0;
  recalled_ = history_.size();
  screen += prompt_;
}

void LineEditor::remember(const std::string& line) {
  if (line.empty() || (!history_.empty() && history_.back() == line)) return;
  history_.push_back(line);
}

void LineEditor::redraw(std::string& screen) const {
  screen += "\r" + prompt_ + line_ + "\x1b[K";
  std::size_t back = columns(line_, cursor_);
  if (back != 0) screen += "\x1b[" + std::to_string(back) + "D";
}

std::size_t LineEditor::previous_character() const {
  std::size_t at = cursor_;
  while (at > 0 && is_continuation(static_cast<unsigned char>(line_[--at]))) {
  }
  return at;
}

std::size_t LineEditor::next_character() const {
  std::size_t at = cursor_;
  if (at < line_.size()) ++at;
  while (at < line_.size() && is_continuation(static_cast<unsigned char>(line_[at]))) ++at;
  return at;
}

void LineEditor::recall(std::size_t index, std::string& screen) {
  if (recalled_ == history_.size()) draft_ = line_;
  recalled_ = index;
  line_ = index == history_.size() ? draft_ : history_[index];
  cursor_ = line_.size();
  redraw(screen);
}

void LineEditor::delete_at_cursor(std::string& screen) {
  if (cursor_ == line_.size()) return;
  line_.erase(cursor_, next_character() - cursor_);
  redraw(screen);
}

LineEditor::Result LineEditor::feed(unsigned char byte, std::string& screen) {
  if (escape_.empty() && byte != kEscape) return key(byte, screen);
  escape_ += static_cast<char>(byte);
  // ESC [ or ESC O, then parameters, then the final byte that names the key.
  if (escape_.size() < 2) return kEditing;
  if (escape_[1] != '[' && escape_[1] != 'O') {
    escape_.clear();
    return kEditing;
  }
  if (escape_.size() < 3 || (byte >= '0' && byte <= '9') || byte == ';') return kEditing;
  std::string sequence;
  sequence.swap(escape_);
  if (sequence == "\x1b[3~") {
    delete_at_cursor(screen);
    return kEditing;
  }
  if (sequence == "\x1b[1~" || sequence == "\x1b[7~") return key(kCtrlA, screen);
  if (sequence == "\x1b[4~" || sequence == "\x1b[8~") return key(kCtrlE, screen);
  return escape_key(static_cast<char>(byte), screen);
}

LineEditor::Result LineEditor::escape_key(char final, std::string& screen) {
  switch (final) {
    case 'A':
      return key(kCtrlP, screen);
    case 'B':
      return key(kCtrlN, screen);
    case 'C':
      return key(kCtrlF, screen);
    case 'D':
      return key(kCtrlB, screen);
    case 'H':
      return key(kCtrlA, screen);
    case 'F':
      return key(kCtrlE, screen);
    default:
      return kEditing;
  }
}

LineEditor::Result LineEditor::key(unsigned char byte, std::string& screen) {
  switch (byte) {
    case '\r':
    case '\n':
      screen += "\n";
      return kLine;
    case kCtrlD:
      if (line_.empty()) {
        screen += "\n";
        return kEnd;
      }
      delete_at_cursor(screen);
      return kEditing;
    case kCtrlC:
      // The line is dropped and a new one starts, as in a shell.
      screen += "^C\n";
      start(prompt_, screen);
      return kEditing;
    case kDelete:
    case kCtrlH:
      if (cursor_ > 0) {
        std::size_t from = previous_character();
        line_.erase(from, cursor_ - from);
        cursor_ = from;
        redraw(screen);
      }
      return kEditing;
    case kCtrlA:
      cursor_ = 0;
      break;
    case kCtrlE:
      cursor_ = line_.size();
      break;
    case kCtrlB:
      cursor_ = previous_character();
      break;
    case kCtrlF:
      cursor_ = next_character();
      break;
    case kCtrlK:
      line_.erase(cursor_);
      break;
    case kCtrlU:
      line_.erase(0, cursor_);
      cursor_ = 0;
      break;
    case kCtrlP:
      if (recalled_ > 0) recall(recalled_ - 1, screen);
      return kEditing;
    case kCtrlN:
      if (recalled_ < history_.size()) recall(recalled_ + 1, screen);
      return kEditing;
    default:
      if (byte < 0x20) return kEditing;  // other control keys do nothing
      line_.insert(cursor_, 1, static_cast<char>(byte));
      ++cursor_;
      // Typing at the end only adds the byte; elsewhere the row is drawn again.
      if (cursor_ == line_.size()) {
        screen += static_cast<char>(byte);
        return kEditing;
      }
      break;
  }
  redraw(screen);
  return kEditing;
}
