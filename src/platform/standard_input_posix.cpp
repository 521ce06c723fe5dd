// Standard input on POSIX systems: descriptor 0 as it is.

#include <errno.h>
#include <unistd.h>

#include "platform/standard_input.h"

std::size_t read_standard_input(void* buffer, std::size_t size) {
  for (;;) {
    ssize_t got = read(STDIN_FILENO, buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    // A signal the fault reporting catches may cut a wait short.
    if (errno != EINTR) return 0;
  }
}
