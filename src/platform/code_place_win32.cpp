#include <windows.h>

#include <cstring>

#include "platform/code_place.h"

namespace {

void copy_cut(char* to, std::size_t size, const char* from) {
  std::size_t length = strnlen(from, size - 1);
  std::memcpy(to, from, length);
  to[length] = '\0';
}

// The export with the highest address at or below `offset`, from the loaded
// image's own export table: a module built without debug information still
// names its entries there.
void nearest_export(const unsigned char* base, std::uintptr_t offset, CodePlace& place) {
  auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return;
  auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return;
  const IMAGE_DATA_DIRECTORY& directory =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (directory.VirtualAddress == 0 || directory.Size == 0) return;
  auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
  auto functions = reinterpret_cast<const DWORD*>(base + exports->AddressOfFunctions);
  auto names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  auto ordinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
  DWORD best = 0;
  const char* best_name = nullptr;
  for (DWORD index = 0; index < exports->NumberOfNames; ++index) {
    WORD ordinal = ordinals[index];
    if (ordinal >= exports->NumberOfFunctions) continue;
    DWORD start = functions[ordinal];
    // An export that points into the export table itself forwards elsewhere.
    bool forwarded =
        start >= directory.VirtualAddress && start < directory.VirtualAddress + directory.Size;
    if (forwarded || start > offset || start < best) continue;
    best = start;
    best_name = reinterpret_cast<const char*>(base + names[index]);
  }
  if (best_name == nullptr) return;
  copy_cut(place.symbol, sizeof place.symbol, best_name);
  place.symbol_offset = offset - best;
}

}  // namespace

bool find_code_place(std::uintptr_t address, CodePlace& place) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(address), &module)) {
    return false;
  }
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return false;
  const char* name = path;
  for (const char* at = path; *at != '\0'; ++at) {
    if (*at == '\\' || *at == '/') name = at + 1;
  }
  copy_cut(place.file, sizeof place.file, name);
  auto base = reinterpret_cast<const unsigned char*>(module);
  place.offset = address - reinterpret_cast<std::uintptr_t>(base);
  place.symbol[0] = '\0';
  place.symbol_offset = 0;
  nearest_export(base, static_cast<std::uintptr_t>(place.offset), place);
  return true;
}
