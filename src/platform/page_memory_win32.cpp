#include <windows.h>

#include "platform/page_memory.h"

std::size_t memory_page_size() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  return info.dwPageSize;
}

void* reserve_pages(std::size_t size) {
  return VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
}

bool open_pages(void* start, std::size_t size) {
  return VirtualAlloc(start, size, MEM_COMMIT, PAGE_READWRITE) != nullptr;
}

bool close_pages(void* start, std::size_t size) {
  // Reserved again: any touch is an access violation.
  return VirtualFree(start, size, MEM_DECOMMIT) != 0;
}
