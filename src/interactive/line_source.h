#pragma once

// Where the lines of an interactive session come from: a pipe or a file,
// read as it is; a console that edits lines itself, with a prompt; or a
// POSIX terminal, edited by our own line editor with a history kept in a
// file between sessions.

#include <memory>
#include <string>

class LineSource {
 public:
  virtual ~LineSource() = default;
  // The next line, without its line feed; false at the end of the input.
  // `prompt` is shown first where a person types.
  virtual bool next_line(const std::string& prompt, std::string& line) = 0;
};

// The source standard input calls for.
std::unique_ptr<LineSource> open_line_source();
