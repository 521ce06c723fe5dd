#include <unistd.h>

#include <cstdlib>

#include "platform/environment.h"

bool set_environment_variable(const char* name, const char* value) {
  return setenv(name, value, 1) == 0;
}

unsigned processor_count() {
  long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<unsigned>(count) : 1;
}
