#include "validate/status_line.h"

#include <cstdio>

#include "platform/terminal.h"

StatusLine::StatusLine(bool wanted) : on_(wanted && standard_error_is_terminal()) {}

void StatusLine::show(const std::string& text) {
  if (!on_) return;
  // Blanks over what a longer line left: no terminal control sequences,
  // which not every console understands.
  std::string line = "\r" + text;
  if (text.size() < shown_) line.append(shown_ - text.size(), ' ');
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  shown_ = text.size();
}

void StatusLine::clear() {
  if (!on_ || shown_ == 0) return;
  std::fputs(("\r" + std::string(shown_, ' ') + "\r").c_str(), stderr);
  std::fflush(stderr);
  shown_ = 0;
}
