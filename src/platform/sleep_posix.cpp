#include <time.h>

#include <cerrno>

#include "platform/sleep.h"

void sleep_milliseconds(unsigned milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000),
                static_cast<long>(milliseconds % 1000) * 1000000L};
  // A signal handled meanwhile cuts the sleep short; the rest is slept.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
