#include "fuzz_engine/line_shape.h"

namespace {

bool is_blank(char byte) {
  return byte == ' ' || byte == '\t';
}

// The line from `begin` up to the line feed at `line_feed`.
ShapedLine read_line(std::string_view request, std::size_t begin, std::size_t line_feed,
                     bool first) {
  ShapedLine line;
  line.end_size = line_feed > begin && request[line_feed - 1] == '\r' ? 2 : 1;
  line.text = {begin, line_feed + 1 - line.end_size - begin};
  std::string_view text = request.substr(begin, line.text.size);
  // A first line holds a command and a version, whatever ':' it has.
  std::size_t colon = first ? std::string_view::npos : text.find(':');
  if (colon == std::string_view::npos) {
    line.key = line.text;
    line.value = {line.text.end(), 0};
    return line;
  }
  std::size_t value = colon + 1;
  while (value < text.size() && is_blank(text[value])) ++value;
  line.has_colon = true;
  line.key = {begin, colon};
  line.value = {begin + value, text.size() - value};
  return line;
}

}  // namespace

bool find_line_shape(std::string_view request, LineShape& shape) {
  shape.lines.clear();
  shape.shaped = shape.crlf = shape.closed = false;
  bool has_key = false;
  std::size_t at = 0;
  for (std::size_t line_feed; (line_feed = request.find('\n', at)) != std::string_view::npos;) {
    ShapedLine line = read_line(request, at, line_feed, shape.lines.empty());
    if (line.text.size == 0) {
      // An empty first line leaves no command to keep.
      if (shape.lines.empty()) return false;
      shape.closed = true;
      shape.closing = {at, line.end_size};
      break;
    }
    has_key |= line.has_colon;
    shape.lines.push_back(line);
    at = line_feed + 1;
  }
  if (shape.lines.empty()) return false;
  if (!shape.closed) shape.closing = {at, 0};
  shape.crlf = shape.lines.front().end_size == 2;
  shape.shaped = shape.closed || has_key;
  return shape.shaped;
}
