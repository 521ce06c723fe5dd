#pragma once

// One line on standard error that tells how a long check goes, written over
// itself, for a person watching a terminal; nothing at all when standard
// error is a file or a pipe, or with --quiet.

#include <cstddef>
#include <string>

class StatusLine {
 public:
  explicit StatusLine(bool wanted);
  ~StatusLine() { clear(); }
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  void show(const std::string& text);
  // Leaves the terminal's line empty, for the lines that come after.
  void clear();

 private:
  bool on_;
  std::size_t shown_ = 0;  // the bytes on the line now
};
