#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "platform/platform.h"

const char kPathSeparator = '/';

bool ends_directory(char byte) {
  return byte == '/';
}

void prepare_standard_output() {}

int get_executable_path(std::string& path) {
  std::string buffer(260, '\0');
  for (;;) {
    ssize_t length = readlink("/proc/self/exe", &buffer[0], buffer.size());
    if (length < 0) {
      path.clear();
      return 0;
    }
    // readlink does not say whether it cut the path: only a result shorter
    // than the buffer is known to be whole.
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(length);
      path = buffer;
      return 1;
    }
    buffer.resize(buffer.size() * 2);
  }
}

LibraryHandle load_library(const char* path) {
  // dlopen takes an empty name for the program itself. And it opens the file
  // blocking, so a FIFO would hang the run: whatever exists but is not a
  // regular file cannot be a library anyway.
  struct stat info;
  if (path[0] == '\0' || (stat(path, &info) == 0 && !S_ISREG(info.st_mode))) return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

LibraryEntry find_library_entry(LibraryHandle library, const char* name) {
  return reinterpret_cast<LibraryEntry>(dlsym(library, name));
}

std::string describe_library_failure(const char* path) {
  struct stat info;
  if (path[0] == '\0') return "the module list gives no path";
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) return "it is not a regular file";
  const char* reason = dlerror();
  return reason != nullptr ? reason : "the system gave no reason";
}

int free_library(LibraryHandle library) {
  return dlclose(library) == 0 ? 1 : 0;
}

ModuleBlock alloc_module_block(std::size_t size) {
  // malloc(0) may answer null; a module still needs a block it can free.
  void* block = std::malloc(size == 0 ? 1 : size);
  // Every block made here has the request copied in whole.
  if (block != nullptr) prepare_whole_write(block, size);
  return block;
}

void* lock_module_block(ModuleBlock block) {
  return block;
}

const bool kModuleBlockSizeIsExact = false;

std::size_t module_block_size(ModuleBlock block) {
  return malloc_usable_size(block);
}

void free_module_block(ModuleBlock block) {
  std::free(block);
}

int call_load_entry(ModuleLoadEntry entry, ModuleBlock block, long length, int* removed) {
  *removed = 0;
  return entry(block, length);
}

ModuleBlock call_request_entry(ModuleRequestEntry entry, ModuleBlock block, long* length,
                               int* removed) {
  *removed = 0;
  return entry(block, length);
}

int call_unload_entry(ModuleUnloadEntry entry, int* removed) {
  *removed = 0;
  return entry();
}

std::FILE* open_binary_file(const char* path) {
  // Only a regular file is read. A directory opens here but fails every
  // read, a FIFO would block the open until a writer came (O_NONBLOCK stops
  // that), and a device such as /dev/zero would never end.
  int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info;
  int flags = fcntl(fd, F_GETFL);
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags == -1 ||
      fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
    close(fd);
    return nullptr;
  }
  std::FILE* file = fdopen(fd, "rb");
  if (file == nullptr) close(fd);
  return file;
}

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

int replace_file(const char* from, const char* to) {
  return std::rename(from, to) == 0 ? 1 : 0;
}
