#pragma once

// The line editor's portable part: keys in, the line and what to write to
// the terminal out. The terminal is taken to keep its output processing, so
// "\r" goes to the start of the row and "\n" to the next one; ANSI sequences
// clear the row's end and move the cursor.

#include <cstddef>
#include <string>
#include <vector>

class LineEditor {
 public:
  enum Result {
    kEditing,  // the line goes on
    kLine,     // Enter: line() holds it
    kEnd,      // Ctrl-D on an empty line, or the input ended
  };

  // Starts a new line after `prompt`; `screen` gets what to write.
  void start(const std::string& prompt, std::string& screen);
  // Takes one byte of a key; `screen` gets what to write.
  Result feed(unsigned char byte, std::string& screen);
  const std::string& line() const { return line_; }

  // The lines the arrows walk through, oldest first. A line is added unless
  // it is empty or the same as the newest.
  void remember(const std::string& line);
  const std::vector<std::string>& history() const { return history_; }

 private:
  Result key(unsigned char byte, std::string& screen);
  Result escape_key(char final, std::string& screen);
  void delete_at_cursor(std::string& screen);
  void redraw(std::string& screen) const;
  void recall(std::size_t index, std::string& screen);
  std::size_t previous_character() const;
  std::size_t next_character() const;

  std::string prompt_;
  std::string line_;
  std::size_t cursor_ = 0;  // a byte offset in line_, at a character's start
  std::vector<std::string> history_;
  std::size_t recalled_ = 0;  // history_.size(): the line being typed
  std::string draft_;         // the line being typed, while the history shows another
  std::string escape_;        // an escape sequence read so far
};
