#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

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

namespace {

#if defined(__x86_64__)
constexpr unsigned kOwnMachine = 62;
#elif defined(__i386__)
constexpr unsigned kOwnMachine = 3;
#elif defined(__aarch64__)
constexpr unsigned kOwnMachine = 183;
#else
constexpr unsigned kOwnMachine = 0;  // not told apart
#endif

// What the file at `path` is, in plain words, where its first bytes tell
// something the loader's words hide ("invalid ELF header" for a Windows
// DLL, "wrong ELF class" for a 32-bit library); empty where they do not.
std::string what_the_file_is(const char* path) {
  unsigned char head[20] = {};
  int descriptor = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return "";
  ssize_t got = read(descriptor, head, sizeof head);
  close(descriptor);
  if (got < 0) return "";
  if (got == 0) return "it is empty";
  if (got >= 2 && head[0] == 'M' && head[1] == 'Z') {
    return "it is a Windows DLL, not a shared library for this system";
  }
  if (got < 4 || std::memcmp(head,
                             "\x7f"
                             "ELF",
                             4) != 0) {
    return "it is not a shared library: its first bytes are not those of one";
  }
  if (got < static_cast<ssize_t>(sizeof head)) return "";
  unsigned bits = head[4] == 1 ? 32 : head[4] == 2 ? 64 : 0;
  unsigned own_bits = sizeof(void*) * 8;
  if (bits != 0 && bits != own_bits) {
    return "it is a " + std::to_string(bits) + "-bit library, and this modtest is " +
           std::to_string(own_bits) + "-bit";
  }
  unsigned machine = head[18] | (head[19] << 8);
  if (kOwnMachine != 0 && head[5] == 1 && machine != kOwnMachine) {
    return "it is a library for another processor (ELF machine " + std::to_string(machine) + ")";
  }
  return "";
}

}  // namespace

std::string describe_library_failure(const char* path) {
  struct stat info;
  if (path[0] == '\0') return "the module list gives no path";
  if (stat(path, &info) == 0 && !S_ISREG(info.st_mode)) return "it is not a regular file";
  // Taken first: any other call may change it.
  const char* reason = dlerror();
  std::string loader = reason != nullptr ? reason : "the system gave no reason";
  std::string plain = what_the_file_is(path);
  return plain.empty() ? loader : plain + " (" + loader + ")";
}

int free_library(LibraryHandle library) {
  return dlclose(library) == 0 ? 1 : 0;
}
