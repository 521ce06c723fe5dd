#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/process_memory.h"

MemoryUse get_memory_use() {
  MemoryUse use{0, 0};
  // The second number of statm is the resident size in pages. Read without
  // stdio, whose buffer would be memory taken just to measure it.
  int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
  if (fd >= 0) {
    char text[128];
    ssize_t length = read(fd, text, sizeof text - 1);
    close(fd);
    if (length > 0) {
      text[length] = '\0';
      char* after_size = nullptr;
      std::strtoul(text, &after_size, 10);
      unsigned long pages = std::strtoul(after_size, nullptr, 10);
      use.resident = pages * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    }
  }
  rusage usage;
  if (getrusage(RUSAGE_SELF, &usage) == 0) {
    use.peak = static_cast<std::size_t>(usage.ru_maxrss) * 1024;  // KiB on Linux
  }
  return use;
}

namespace {

// glibc's counts as the two calls give them, the newer one's fields wide
// enough for any heap. Looked up rather than linked, so that the program
// still starts on a C library without the newer call, or without both.
struct WideCounts {
  std::size_t arena, ordblks, smblks, hblks, hblkhd, usmblks, fsmblks, uordblks, fordblks, keepcost;
};
struct NarrowCounts {
  int arena, ordblks, smblks, hblks, hblkhd, usmblks, fsmblks, uordblks, fordblks, keepcost;
};
using WideCall = WideCounts (*)();
using NarrowCall = NarrowCounts (*)();

}  // namespace

HeapUse get_heap_use() {
  // A sanitizer's allocator replaces malloc and keeps freed blocks aside
  // for a while; its own count leaves those out.
  static void* sanitizer = dlsym(RTLD_DEFAULT, "__sanitizer_get_current_allocated_bytes");
  static void* wide = dlsym(RTLD_DEFAULT, "mallinfo2");
  static void* narrow = dlsym(RTLD_DEFAULT, "mallinfo");
  std::size_t bytes = 0;
  if (sanitizer != nullptr) {
    bytes = reinterpret_cast<std::size_t (*)()>(sanitizer)();
  } else if (wide != nullptr) {
    WideCounts counts = reinterpret_cast<WideCall>(wide)();
    bytes = counts.uordblks + counts.hblkhd;
  } else if (narrow != nullptr) {
    // Wraps past 2 GiB, which a difference of two readings survives.
    NarrowCounts counts = reinterpret_cast<NarrowCall>(narrow)();
    bytes = static_cast<unsigned>(counts.uordblks) + static_cast<unsigned>(counts.hblkhd);
  }
  // Another allocator may count nothing here.
  if (bytes != 0) return {bytes, "heap in use"};
  return {get_memory_use().resident, "resident memory"};
}

void prefer_large_pages(void* start, std::size_t size) {
#ifdef MADV_HUGEPAGE
  // Only whole 2 MiB pages inside the block can be large.
  constexpr std::uintptr_t kLargePage = 2 * 1024 * 1024;
  std::uintptr_t first =
      (reinterpret_cast<std::uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1);
  std::uintptr_t end = reinterpret_cast<std::uintptr_t>(start) + size;
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)start;
  (void)size;
#endif
}

void prepare_whole_write(void* start, std::size_t size) {
  prefer_large_pages(start, size);
#ifdef __linux__
  // Small blocks sit in pages already in use: nothing to gain.
  if (size < 1024 * 1024) return;
  // Linux 5.14 and later; an older kernel refuses the advice and nothing
  // changes. The number, as older headers lack the name.
  constexpr int kPopulateWrite = 23;  // MADV_POPULATE_WRITE
  const std::uintptr_t page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  std::uintptr_t first = (reinterpret_cast<std::uintptr_t>(start) + page - 1) & ~(page - 1);
  std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(start) + size) & ~(page - 1);
  if (end > first) madvise(reinterpret_cast<void*>(first), end - first, kPopulateWrite);
#endif
}
