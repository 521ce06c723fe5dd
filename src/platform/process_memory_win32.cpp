#include <windows.h>
// psapi.h needs the types of windows.h first.
#include <psapi.h>

#include <vector>

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
  // Every heap of the process, the module blocks' and those of every C
  // runtime a module brings: the bytes of their busy entries. Walking them
  // takes a while, but the leak check asks twice.
  DWORD count = GetProcessHeaps(0, nullptr);
  std::vector<HANDLE> heaps(count + 16);
  count = GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data());
  std::size_t busy = 0;
  for (DWORD index = 0; index < count && index < heaps.size(); ++index) {
    if (!HeapLock(heaps[index])) continue;
    PROCESS_HEAP_ENTRY entry;
    entry.lpData = nullptr;
    while (HeapWalk(heaps[index], &entry)) {
      if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) busy += entry.cbData;
    }
    HeapUnlock(heaps[index]);
  }
  if (busy != 0) return {busy, "heap in use"};
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
