#include <fcntl.h>
#include <io.h>
#include <windows.h>
// psapi.h needs the types of windows.h first.
#include <psapi.h>

#include <cstdio>

#include "platform/platform.h"

const char kPathSeparator = '\\';

void prepare_standard_output() {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
}

int get_executable_path(std::string& path) {
  std::string buffer(260, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      path.clear();
      return 0;
    }
    // A result that fills the whole buffer means the path was cut.
    if (length < buffer.size()) {
      buffer.resize(length);
      path = buffer;
      return 1;
    }
    buffer.resize(buffer.size() * 2);
  }
}

LibraryHandle load_library(const char* path) {
  return LoadLibraryA(path);
}

LibraryEntry find_library_entry(LibraryHandle library, const char* name) {
  return reinterpret_cast<LibraryEntry>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::string describe_library_failure(const char* path) {
  (void)path;
  return "the system could not load it";
}

int free_library(LibraryHandle library) {
  return FreeLibrary(static_cast<HMODULE>(library)) ? 1 : 0;
}

ModuleBlock alloc_module_block(std::size_t size) {
  return GlobalAlloc(GMEM_FIXED, size);
}

void* lock_module_block(ModuleBlock block) {
  return GlobalLock(block);
}

const bool kModuleBlockSizeIsExact = true;

std::size_t module_block_size(ModuleBlock block) {
  return GlobalSize(block);
}

void free_module_block(ModuleBlock block) {
  GlobalFree(block);
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
  return std::fopen(path, "rb");
}

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

int replace_file(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 1 : 0;
}
