#include <windows.h>
// psapi.h needs the types of windows.h first.
#include <psapi.h>

#include "platform/process_memory.h"

MemoryUse get_memory_use() {
  MemoryUse use{0, 0};
  PROCESS_MEMORY_COUNTERS counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
    use.resident = counters.WorkingSetSize;
    use.peak = counters.PeakWorkingSetSize;
  }
  return use;
}

void prefer_large_pages(void* start, std::size_t size) {
  // Large pages there need a privilege a user rarely holds.
  (void)start;
  (void)size;
}

void prepare_whole_write(void* start, std::size_t size) {
  // Pages there are made ready by the fault as they are written.
  (void)start;
  (void)size;
}
