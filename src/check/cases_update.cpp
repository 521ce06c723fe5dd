#include "check/cases_update.h"

#include "text/lead_byte.h"

namespace {

constexpr char kEndOfFile = 0x1A;

bool is_line_break(char byte) {
  return byte == '\n' || byte == '\r';
}

}  // namespace

bool encode_reply_value(std::string_view reply, std::string& value) {
  value.assign(1, '"');
  // Inside quotes a backslash takes the next character as it is, and two in
  // a row give a line break before n or r or else repeat what follows. A
  // reply's backslash is therefore written "\\\" (two more when a backslash
  // just written still waits for its character), after which one backslash
  // waits for the next character: `pending`.
  bool pending = false;
  for (std::size_t index = 0; index < reply.size(); ++index) {
    char byte = reply[index];
    if (byte == kEndOfFile) return false;
    if (is_lead_byte(static_cast<unsigned char>(byte))) {
      // The byte after a lead byte goes with it, whatever it is.
      value += byte;
      if (index + 1 == reply.size()) return true;  // alone, it must end the line
      char second = reply[++index];
      if (second == kEndOfFile || is_line_break(second)) return false;
      value += second;
      pending = false;
    } else if (byte == '\\') {
      value += pending ? "\\\\" : "\\\\\\";
      pending = true;
    } else if (is_line_break(byte)) {
      value += pending ? "\\" : "\\\\";
      value += byte == '\n' ? 'n' : 'r';
      pending = false;
    } else {
      if (byte == '"' && !pending) value += '\\';
      value += byte;
      pending = false;
    }
  }
  // A closing quote would be taken as the waiting character.
  if (!pending) value += '"';
  return true;
}

std::string apply_reply_edits(const std::string& file, const std::vector<ReplyEdit>& edits,
                              std::vector<std::size_t>& refused) {
  std::size_t readable_end = file.find(kEndOfFile);
  if (readable_end == std::string::npos) readable_end = file.size();
  std::string result;
  result.reserve(file.size() + edits.size() * 16);
  std::size_t start = 0;  // of the current line
  std::size_t number = 1;
  auto edit = edits.begin();
  while (start < file.size() && edit != edits.end()) {
    std::size_t feed = file.find('\n', start);
    std::size_t next = feed == std::string::npos ? file.size() : feed + 1;
    // The line's own text, without the carriage returns before its end.
    std::size_t content_end = feed == std::string::npos ? file.size() : feed;
    while (content_end > start && file[content_end - 1] == '\r') --content_end;
    if (edit->line != number) {
      result.append(file, start, next - start);
    } else if (next > readable_end) {
      refused.push_back(number);
      result.append(file, start, next - start);
      ++edit;
    } else if (edit->add_after) {
      result.append(file, start, next - start);
      std::string line_end = file.substr(content_end, next - content_end);
      if (line_end.empty()) result += "\n";
      result += "reply: " + edit->value + line_end;
      ++edit;
    } else {
      // The key and colon, and the blanks after them, stay as they were.
      std::size_t colon = file.find(':', start);
      std::size_t value_start = file.find_first_not_of(" \t", colon + 1);
      if (value_start > content_end) value_start = content_end;
      result.append(file, start, value_start - start);
      result += edit->value;
      result.append(file, content_end, next - content_end);
      ++edit;
    }
    start = next;
    ++number;
  }
  for (; edit != edits.end(); ++edit) refused.push_back(edit->line);
  result.append(file, start, std::string::npos);
  return result;
}
