#include "interactive/session_line.h"

#include "settings/settings_line_parser.h"

namespace {

std::size_t first_non_blank(std::string_view text) {
  std::size_t at = text.find_first_not_of(" \t");
  return at == std::string_view::npos ? text.size() : at;
}

// The value as a cases file reads it, to the end of the line.
std::string read_value(std::string_view text) {
  std::string value;
  next_settings_value_exact(value, text, SettingsTokenMode::kLine);
  return value;
}

}  // namespace

SessionLine parse_session_line(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  SessionLine parsed;
  std::size_t start = first_non_blank(line);
  if (start == line.size()) return parsed;
  if (line[start] != ':') {
    parsed.kind = SessionLine::kRequest;
    parsed.text = read_value(line);
    return parsed;
  }
  parsed.kind = SessionLine::kCommand;
  std::string_view rest = line.substr(start + 1);
  std::size_t end = rest.find_first_of(" \t");
  if (end == std::string_view::npos) end = rest.size();
  parsed.name.assign(rest.substr(0, end));
  parsed.text = read_value(rest.substr(end));
  return parsed;
}
