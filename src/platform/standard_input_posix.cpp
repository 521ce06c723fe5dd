// Standard input on POSIX systems: a descriptor that may be kept apart from
// the one stdio and modules read.

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include "platform/standard_input.h"

namespace {

int input_descriptor = STDIN_FILENO;

}  // namespace

int reserve_standard_input() {
  // Above the three standard descriptors, and not handed to any program a
  // module might start.
  int kept = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  if (kept < 0) return 0;
  int empty = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (empty < 0 || dup2(empty, STDIN_FILENO) < 0) {
    if (empty >= 0) close(empty);
    close(kept);
    return 0;
  }
  close(empty);
  input_descriptor = kept;
  return 1;
}

std::size_t read_standard_input(void* buffer, std::size_t size) {
  for (;;) {
    ssize_t got = read(input_descriptor, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    // A signal the fault reporting catches may cut a wait short.
    if (errno != EINTR) return 0;
  }
}
