#pragma once

// One line of an interactive session: a request, written as a value of a
// cases file, or a command, which starts with ':'.

#include <string>
#include <string_view>

struct SessionLine {
  enum Kind {
    kNothing,  // a blank line: nothing is sent
    kRequest,  // `text` holds the request's bytes
    kCommand,  // `name` is the command without its ':', `text` its argument
  };
  Kind kind = kNothing;
  std::string name;
  std::string text;
};

// Reads `line`, its line feed already taken off. A carriage return at its
// end (a line from Windows) is dropped. A request keeps what quotes and
// escapes give; one that starts with ':' is written in quotes. A command's
// argument is read the same way, so a file name may be quoted.
SessionLine parse_session_line(std::string_view line);
