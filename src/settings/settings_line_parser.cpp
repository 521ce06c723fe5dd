#include "settings/settings_line_parser.h"

#include "text/quoted_segment.h"
#include "text/text_cursor.h"

namespace {

// True for the bytes that end an unquoted token in `mode`.
constexpr bool ends_token(unsigned char byte, SettingsTokenMode mode) {
  if (byte == '\0' || byte == '\n' || byte == '\r') return true;
  switch (mode) {
    case SettingsTokenMode::kKey:
      return byte == ',' || byte == ':';
    case SettingsTokenMode::kLine:
      return false;
    default:
      return byte == ',';
  }
}

constexpr RunSteps kRunSteps[] = {
    make_run_steps([](unsigned char byte) { return ends_token(byte, SettingsTokenMode::kKey); }),
    make_run_steps([](unsigned char byte) { return ends_token(byte, SettingsTokenMode::kValue); }),
    make_run_steps([](unsigned char byte) { return ends_token(byte, SettingsTokenMode::kLine); })};

const RunSteps& run_steps(SettingsTokenMode mode) {
  unsigned int index = static_cast<unsigned int>(mode);
  return kRunSteps[index < 3 ? index : static_cast<unsigned int>(SettingsTokenMode::kValue)];
}

// A backslash outside quotes: r and n stand for CR and LF, anything else is
// dropped with the backslash.
void read_unquoted_escape(std::string& token, TextCursor& text) {
  std::string_view escaped = text.take_char();
  if (escaped.size() != 1) return;
  if (escaped[0] == 'r') token += '\r';
  if (escaped[0] == 'n') token += '\n';
}

// Reads one token untrimmed, blanks skipped before it. Returns the length
// the token had after its last quoted segment or escape: what was written
// on purpose ends there at the earliest.
std::size_t read_token(std::string& token, std::string_view& view, SettingsTokenMode mode) {
  TextCursor text(view);
  text.skip_blanks();
  token.clear();
  StringSink sink(token);
  const RunSteps& steps = run_steps(mode);
  std::size_t written = 0;
  while (!text.empty()) {
    sink.append_run(text, plain_run(text, steps));
    if (text.at_byte('"')) {
      text.skip(1);
      read_quoted_part(text, sink);
    } else if (text.at_byte('\\')) {
      text.skip(1);
      read_unquoted_escape(token, text);
    } else {
      break;  // empty, or a character that ends the token
    }
    written = token.size();
  }
  view = text.rest();
  return written;
}

}  // namespace

int next_settings_token(std::string& token, std::string_view& text, SettingsTokenMode mode) {
  read_token(token, text, mode);
  token.resize(trimmed_length(token));
  return token.empty() ? 0 : 1;
}

int next_settings_value_exact(std::string& token, std::string_view& text, SettingsTokenMode mode) {
  std::size_t written = read_token(token, text, mode);
  std::size_t end = token.size();
  while (end > written && (token[end - 1] == ' ' || token[end - 1] == '\t')) --end;
  token.resize(end);
  return token.empty() ? 0 : 1;
}

int take_settings_char(std::string& ch, std::string_view& text) {
  TextCursor cursor(text);
  ch.assign(cursor.take_char());
  text = cursor.rest();
  return static_cast<int>(ch.size());
}

bool is_settings_token_char(unsigned char byte, SettingsTokenMode mode) {
  return !ends_token(byte, mode);
}

std::size_t plain_value_length(std::string_view text) {
  return plain_run(TextCursor(text), run_steps(SettingsTokenMode::kValue));
}
