// Standard output as the report sees it on POSIX systems: a descriptor
// that may be kept apart from the one stdio and modules write to.

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

#include "platform/standard_output.h"
#include "platform/standard_stream.h"

namespace {

int output_descriptor = STDOUT_FILENO;

}  // namespace

void prepare_standard_output() {}

std::size_t write_some(StandardStream stream, const char* bytes, std::size_t length) {
  int fd = stream == StandardStream::kOutput ? output_descriptor : STDERR_FILENO;
  ssize_t written = write(fd, bytes, length);
  return written > 0 ? static_cast<std::size_t>(written) : 0;
}

int reserve_standard_output() {
  std::fflush(stdout);
  // Above the three standard descriptors, and not handed to any program a
  // module might start.
  int kept = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (kept < 0) return 0;
  if (dup2(STDERR_FILENO, STDOUT_FILENO) < 0) {
    close(kept);
    return 0;
  }
  output_descriptor = kept;
  return 1;
}
