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

HeapUse get_heap_use() {
  // The heaps of the module blocks and of every C runtime a module may
  // bring are all the process's private memory.
  PROCESS_MEMORY_COUNTERS_EX counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                           sizeof counters)) {
    return {static_cast<std::size_t>(counters.PrivateUsage), "private memory"};
  }
  return {get_memory_use().resident, "resident memory"};
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
