#pragma once

// The memory of the running process: process_memory_posix.cpp and
// process_memory_win32.cpp implement this.

#include <cstddef>

// The process's resident memory in bytes, now and at its peak so far; 0
// for what the system cannot tell.
struct MemoryUse {
  std::size_t resident;
  std::size_t peak;
};
MemoryUse get_memory_use();

// The memory the process holds for its data, for telling a leak: the C
// library's own count of the bytes malloc handed out and nobody freed where
// it keeps one, else the process's private memory (Windows) or its resident
// memory. `source` names which, for the report.
struct HeapUse {
  std::size_t bytes;
  const char* source;
};
HeapUse get_heap_use();

// Asks the system to back the block at `start` with large pages where it
// can: a big block written once then takes a few page faults rather than
// one per 4 KiB, and on some machines each costs several microseconds.
// Nothing changes where the system has no such pages or declines.
void prefer_large_pages(void* start, std::size_t size);

// For a block about to be written whole: large pages where the system has
// them, and the block's pages made ready in one call rather than one page
// fault at a time, which in some virtual machines costs more than the
// writing. Nothing changes where the system cannot.
void prepare_whole_write(void* start, std::size_t size);
