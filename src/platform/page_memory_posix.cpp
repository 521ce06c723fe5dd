#include <sys/mman.h>
#include <unistd.h>

#include "platform/page_memory.h"

std::size_t memory_page_size() {
  long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? static_cast<std::size_t>(size) : 4096;
}

void* reserve_pages(std::size_t size) {
  void* start = mmap(nullptr, size, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
  return start == MAP_FAILED ? nullptr : start;
}

bool open_pages(void* start, std::size_t size) {
  return mprotect(start, size, PROT_READ | PROT_WRITE) == 0;
}

bool close_pages(void* start, std::size_t size) {
  // Dropped first, so that the pages read as zero once opened again.
  if (madvise(start, size, MADV_DONTNEED) != 0) return false;
  return mprotect(start, size, PROT_NONE) == 0;
}
