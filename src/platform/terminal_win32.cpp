// The terminal on Windows: the console edits lines and keeps their history
// itself, so the interactive mode only asks whether there is one.

#include <windows.h>

#include <cstdio>

#include "platform/terminal.h"

bool standard_input_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool standard_error_is_terminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool enter_key_mode() {
  return false;
}

void leave_key_mode() {}

int read_key_byte() {
  return -1;
}

void write_to_terminal(const std::string& bytes) {
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fflush(stdout);
}

std::string history_file_path() {
  return "";
}
