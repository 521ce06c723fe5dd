#include <windows.h>

#include <cstdlib>

#include "platform/environment.h"

bool set_environment_variable(const char* name, const char* value) {
  // The process's block, which CreateProcess hands on, and the C runtime's
  // copy, which getenv reads, are kept apart: both are set.
  return SetEnvironmentVariableA(name, value) != 0 && _putenv_s(name, value) == 0;
}

unsigned processor_count() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwNumberOfProcessors > 0 ? info.dwNumberOfProcessors : 1;
}
