#pragma once

// Whether a request is made of lines the way many modules parse theirs: a
// first line, lines of a key and a value, then an empty line. The shape is
// read from the request's own bytes, line ends included, so that mutations
// can keep it.

#include <cstddef>
#include <string_view>
#include <vector>

#include "fuzz_engine/text_span.h"

struct ShapedLine {
  // The line without its line end.
  TextSpan text;
  // The key runs to the first ':', the value from after it and the blanks
  // that follow. A line with no ':' (the first line always) is all key,
  // with an empty value at its end.
  TextSpan key;
  TextSpan value;
  // 2 for CR LF, 1 for LF: each line keeps its own.
  std::size_t end_size = 1;
  bool has_colon = false;
  // Where the line after this one begins.
  std::size_t next() const { return text.end() + end_size; }
};

struct LineShape {
  bool shaped = false;
  // Whether the first line ends in CR LF: the line end lines put in take.
  bool crlf = false;
  bool closed = false;
  // The first line, then each line up to the closing empty line.
  std::vector<ShapedLine> lines;
  // The line end of the closing empty line; without one, an empty span
  // where the lines stop. Bytes after it are a body no mutation here reads.
  TextSpan closing;

  std::string_view line_end() const { return crlf ? "\r\n" : "\n"; }
};

// Reads the shape of `request` into `shape`, reusing its storage, in one
// pass. A request is line-shaped when its first line has text and a line
// end, and a closing empty line or a line with a ':' follows it. A CR that
// no LF follows is part of its line. Returns shape.shaped.
bool find_line_shape(std::string_view request, LineShape& shape);
