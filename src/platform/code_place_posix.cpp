#include <dlfcn.h>
#include <link.h>

#include <cstring>

#include "platform/code_place.h"

namespace {

void copy_cut(char* to, std::size_t size, const char* from) {
  std::size_t length = std::strlen(from);
  if (length >= size) length = size - 1;
  std::memcpy(to, from, length);
  to[length] = '\0';
}

const char* base_name(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

}  // namespace

bool find_code_place(std::uintptr_t address, CodePlace& place) {
  Dl_info info;
  void* found_symbol = nullptr;
  if (dladdr1(reinterpret_cast<void*>(address), &info, &found_symbol, RTLD_DL_SYMENT) == 0 ||
      info.dli_fbase == nullptr) {
    return false;
  }
  copy_cut(place.file, sizeof place.file,
           base_name(info.dli_fname != nullptr ? info.dli_fname : "?"));
  place.offset = address - reinterpret_cast<std::uintptr_t>(info.dli_fbase);
  place.symbol[0] = '\0';
  place.symbol_offset = 0;
  // The nearest symbol below is named only when it holds the address: a
  // library's hidden functions have no symbol, and the one before them would
  // name the wrong function.
  const auto* symbol = static_cast<const ElfW(Sym)*>(found_symbol);
  std::uintptr_t start = reinterpret_cast<std::uintptr_t>(info.dli_saddr);
  if (info.dli_sname != nullptr && symbol != nullptr && start != 0 && address >= start &&
      (symbol->st_size == 0 || address - start < symbol->st_size)) {
    copy_cut(place.symbol, sizeof place.symbol, info.dli_sname);
    place.symbol_offset = address - start;
  }
  return true;
}
