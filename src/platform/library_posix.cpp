#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/library.h"

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
