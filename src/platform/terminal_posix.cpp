// The terminal on POSIX systems: termios for single keys.

#include <errno.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/terminal.h"

namespace {

struct termios saved_mode;
bool in_key_mode = false;

}  // namespace

bool standard_input_is_terminal() {
  return isatty(STDIN_FILENO) == 1;
}

bool standard_error_is_terminal() {
  return isatty(STDERR_FILENO) == 1;
}

bool enter_key_mode() {
  if (in_key_mode) return true;
  if (tcgetattr(STDIN_FILENO, &saved_mode) != 0) return false;
  struct termios keys = saved_mode;
  // Ctrl-C and Ctrl-D come as bytes: the editor gives them their meaning.
  keys.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  keys.c_iflag &= ~static_cast<tcflag_t>(ICRNL | INLCR | IXON);
  keys.c_cc[VMIN] = 1;
  keys.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSADRAIN, &keys) != 0) return false;
  in_key_mode = true;
  return true;
}

void leave_key_mode() {
  if (!in_key_mode) return;
  tcsetattr(STDIN_FILENO, TCSADRAIN, &saved_mode);
  in_key_mode = false;
}

int read_key_byte() {
  for (;;) {
    unsigned char byte = 0;
    ssize_t got = read(STDIN_FILENO, &byte, 1);
    if (got == 1) return byte;
    if (got == 0 || errno != EINTR) return -1;
  }
}

void write_to_terminal(const std::string& bytes) {
  std::fflush(stdout);
  // With the replies sent to a file, the prompt and the line being typed
  // still belong on the terminal typed at; a terminal is opened for reading
  // and writing alike. One that takes no bytes there loses the echo only.
  int descriptor = isatty(STDOUT_FILENO) == 1 ? STDOUT_FILENO : STDIN_FILENO;
  for (std::size_t done = 0; done < bytes.size();) {
    ssize_t wrote = write(descriptor, bytes.data() + done, bytes.size() - done);
    if (wrote < 0 && errno == EINTR) continue;
    if (wrote <= 0) return;
    done += static_cast<std::size_t>(wrote);
  }
}

std::string history_file_path() {
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return "";
  std::string path = home;
  if (path.back() != '/') path += '/';
  return path + ".modtest_history";
}
