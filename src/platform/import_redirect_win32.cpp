// The module's import address table: each slot whose import names a heap
// function gets the address of a function here instead, which hands the
// call to the guarded heap. The C runtime's functions are kept per library
// the module imports them from: a block that is not the guarded heap's
// goes back to the very runtime that made it.

#include <windows.h>

#include <cstring>

#include "platform/import_redirect.h"

namespace {

HeapRedirect heap{};

#define CALLER reinterpret_cast<std::uintptr_t>(__builtin_return_address(0))

constexpr std::size_t kAlignment = sizeof(void*) * 2;

void* take(std::size_t size, std::uintptr_t from) {
  return heap.allocate(size, kAlignment, from);
}

bool mine(const void* block) {
  return block != nullptr && heap.owns(block);
}

std::size_t size_of(const void* block) {
  std::size_t size = 0;
  return heap.block_size(block, size) ? size : 0;
}

// A guarded block moved to a new one of `size` bytes, made by `make` when
// the guarded heap has no room; null, the block kept, when neither has.
template <typename Make>
void* move_block(void* block, std::size_t size, std::uintptr_t from, Make make) {
  std::size_t old_size = 0;
  if (!heap.block_size(block, old_size)) {
    heap.release(block, from);
    return nullptr;
  }
  void* made = heap.reallocate(block, size, kAlignment, from);
  if (made != nullptr) return made;
  made = make(size);
  if (made == nullptr) return nullptr;
  std::memcpy(made, block, old_size < size ? old_size : size);
  heap.release(block, from);
  return made;
}

LPVOID WINAPI hook_HeapAlloc(HANDLE owner, DWORD flags, SIZE_T size) {
  void* block = take(size, CALLER);
  return block != nullptr ? block : HeapAlloc(owner, flags, size);
}

LPVOID WINAPI hook_HeapReAlloc(HANDLE owner, DWORD flags, LPVOID block, SIZE_T size) {
  if (!mine(block)) return HeapReAlloc(owner, flags, block, size);
  if ((flags & HEAP_REALLOC_IN_PLACE_ONLY) != 0) return nullptr;
  return move_block(block, size, CALLER,
                    [&](std::size_t bytes) { return HeapAlloc(owner, flags, bytes); });
}

BOOL WINAPI hook_HeapFree(HANDLE owner, DWORD flags, LPVOID block) {
  if (!mine(block)) return HeapFree(owner, flags, block);
  heap.release(block, CALLER);
  return TRUE;
}

SIZE_T WINAPI hook_HeapSize(HANDLE owner, DWORD flags, LPCVOID block) {
  return mine(block) ? size_of(block) : HeapSize(owner, flags, block);
}

// A movable block's handle is no address: those stay with the system.
HGLOBAL WINAPI hook_GlobalAlloc(UINT flags, SIZE_T size) {
  void* block = (flags & GMEM_MOVEABLE) == 0 ? take(size, CALLER) : nullptr;
  return block != nullptr ? block : GlobalAlloc(flags, size);
}

HGLOBAL WINAPI hook_GlobalReAlloc(HGLOBAL block, SIZE_T size, UINT flags) {
  if (!mine(block)) return GlobalReAlloc(block, size, flags);
  if ((flags & GMEM_MODIFY) != 0) return block;
  return move_block(block, size, CALLER,
                    [](std::size_t bytes) { return GlobalAlloc(GMEM_FIXED, bytes); });
}

HGLOBAL WINAPI hook_GlobalFree(HGLOBAL block) {
  if (!mine(block)) return GlobalFree(block);
  heap.release(block, CALLER);
  return nullptr;
}

SIZE_T WINAPI hook_GlobalSize(HGLOBAL block) {
  return mine(block) ? size_of(block) : GlobalSize(block);
}

LPVOID WINAPI hook_GlobalLock(HGLOBAL block) {
  return mine(block) ? block : GlobalLock(block);
}

BOOL WINAPI hook_GlobalUnlock(HGLOBAL block) {
  return mine(block) ? FALSE : GlobalUnlock(block);
}

HGLOBAL WINAPI hook_GlobalHandle(LPCVOID block) {
  return mine(block) ? const_cast<LPVOID>(block) : GlobalHandle(block);
}

HLOCAL WINAPI hook_LocalAlloc(UINT flags, SIZE_T size) {
  void* block = (flags & LMEM_MOVEABLE) == 0 ? take(size, CALLER) : nullptr;
  return block != nullptr ? block : LocalAlloc(flags, size);
}

HLOCAL WINAPI hook_LocalFree(HLOCAL block) {
  if (!mine(block)) return LocalFree(block);
  heap.release(block, CALLER);
  return nullptr;
}

struct Hook {
  const char* name;
  void* to;
};

#define HOOK(name) \
  { #name, reinterpret_cast < void*>(hook_##name) }
const Hook kSystemHooks[] = {
    HOOK(HeapAlloc),     HOOK(HeapReAlloc), HOOK(HeapFree),   HOOK(HeapSize),   HOOK(GlobalAlloc),
    HOOK(GlobalReAlloc), HOOK(GlobalFree),  HOOK(GlobalSize), HOOK(GlobalLock), HOOK(GlobalUnlock),
    HOOK(GlobalHandle),  HOOK(LocalAlloc),  HOOK(LocalFree),
};

// The C runtime's functions, and C++'s operators in their MinGW names.
enum Runtime { kMalloc, kCalloc, kRealloc, kFree, kMsize, kNew, kNewArray, kDelete, kRuntimeCount };
struct RuntimeName {
  const char* name;
  Runtime function;
};
const RuntimeName kRuntimeNames[] = {
    {"malloc", kMalloc},  {"calloc", kCalloc},  {"realloc", kRealloc}, {"free", kFree},
    {"_msize", kMsize},   {"_Znwj", kNew},      {"_Znwm", kNew},       {"_Znwy", kNew},
    {"_Znaj", kNewArray}, {"_Znam", kNewArray}, {"_Znay", kNewArray},  {"_ZdlPv", kDelete},
    {"_ZdaPv", kDelete},  {"_ZdlPvj", kDelete}, {"_ZdlPvm", kDelete},  {"_ZdlPvy", kDelete},
    {"_ZdaPvj", kDelete}, {"_ZdaPvm", kDelete}, {"_ZdaPvy", kDelete},
};

// The libraries the runtime functions came from, each with what the
// module imported from it.
constexpr int kRuntimes = 4;
struct RuntimeLibrary {
  char name[64];
  void* original[kRuntimeCount];
};
RuntimeLibrary runtimes[kRuntimes];

template <int Library>
struct RuntimeHooks {
  template <typename Function>
  static Function original(Runtime function) {
    return reinterpret_cast<Function>(runtimes[Library].original[function]);
  }
  // The module's own import for a block the guarded heap does not make;
  // malloc or realloc from the same runtime when it imported no other.
  static void* make(Runtime function, std::size_t size) {
    auto own = original<void* (*)(std::size_t)>(function);
    if (own != nullptr && function != kCalloc && function != kRealloc) return own(size);
    auto plain = original<void* (*)(std::size_t)>(kMalloc);
    if (plain != nullptr) return plain(size);
    auto moved = original<void* (*)(void*, std::size_t)>(kRealloc);
    return moved != nullptr ? moved(nullptr, size) : nullptr;
  }
  static void* take_or_make(Runtime function, std::size_t size, std::uintptr_t from) {
    void* block = take(size, from);
    return block != nullptr ? block : make(function, size);
  }
  static void* malloc_(std::size_t size) { return take_or_make(kMalloc, size, CALLER); }
  static void* new_(std::size_t size) { return take_or_make(kNew, size, CALLER); }
  static void* new_array(std::size_t size) { return take_or_make(kNewArray, size, CALLER); }
  static void* calloc_(std::size_t count, std::size_t size) {
    bool fits = size == 0 || count <= static_cast<std::size_t>(-1) / size;
    // The guarded heap's pages come zeroed.
    void* block = fits ? take(count * size, CALLER) : nullptr;
    return block != nullptr ? block
                            : original<void* (*)(std::size_t, std::size_t)>(kCalloc)(count, size);
  }
  static void* realloc_(void* block, std::size_t size) {
    auto system = original<void* (*)(void*, std::size_t)>(kRealloc);
    if (block == nullptr) return take_or_make(kRealloc, size, CALLER);
    if (!mine(block)) return system(block, size);
    if (size == 0) {
      heap.release(block, CALLER);
      return nullptr;
    }
    return move_block(block, size, CALLER, [](std::size_t bytes) { return make(kMalloc, bytes); });
  }
  static void free_(void* block) {
    if (mine(block)) return heap.release(block, CALLER);
    original<void (*)(void*)>(kFree)(block);
  }
  static void delete_(void* block) {
    if (mine(block)) return heap.release(block, CALLER);
    auto system = original<void (*)(void*)>(kDelete);
    (system != nullptr ? system : original<void (*)(void*)>(kFree))(block);
  }
  static std::size_t msize(void* block) {
    return mine(block) ? size_of(block) : original<std::size_t (*)(void*)>(kMsize)(block);
  }
  static void* hook(Runtime function) {
    switch (function) {
      case kMalloc:
        return reinterpret_cast<void*>(malloc_);
      case kCalloc:
        return reinterpret_cast<void*>(calloc_);
      case kRealloc:
        return reinterpret_cast<void*>(realloc_);
      case kFree:
        return reinterpret_cast<void*>(free_);
      case kMsize:
        return reinterpret_cast<void*>(msize);
      case kNew:
        return reinterpret_cast<void*>(new_);
      case kNewArray:
        return reinterpret_cast<void*>(new_array);
      default:
        return reinterpret_cast<void*>(delete_);
    }
  }
};

void* runtime_hook(int library, Runtime function) {
  switch (library) {
    case 0:
      return RuntimeHooks<0>::hook(function);
    case 1:
      return RuntimeHooks<1>::hook(function);
    case 2:
      return RuntimeHooks<2>::hook(function);
    default:
      return RuntimeHooks<3>::hook(function);
  }
}

// The runtime library of that name, taken when new; -1 when all are taken.
int runtime_library(const char* name) {
  for (int library = 0; library < kRuntimes; ++library) {
    if (lstrcmpiA(runtimes[library].name, name) == 0) return library;
    if (runtimes[library].name[0] == '\0') {
      lstrcpynA(runtimes[library].name, name, sizeof runtimes[library].name);
      return library;
    }
  }
  return -1;
}

bool patch(ULONG_PTR* slot, void* to) {
  DWORD was = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &was)) return false;
  *slot = reinterpret_cast<ULONG_PTR>(to);
  VirtualProtect(slot, sizeof *slot, was, &was);
  return true;
}

// The hook for an import of `name` from `library`; null for none.
void* hook_for(const char* library, const char* name, ULONG_PTR original) {
  for (const Hook& hook : kSystemHooks) {
    if (std::strcmp(hook.name, name) == 0) return hook.to;
  }
  for (const RuntimeName& runtime : kRuntimeNames) {
    if (std::strcmp(runtime.name, name) != 0) continue;
    int index = runtime_library(library);
    if (index < 0) return nullptr;
    void*& kept = runtimes[index].original[runtime.function];
    if (kept == nullptr) kept = reinterpret_cast<void*>(original);
    return runtime_hook(index, runtime.function);
  }
  return nullptr;
}

}  // namespace

int redirect_heap_imports(LibraryHandle library, const HeapRedirect& redirect) {
  if (heap.allocate == nullptr) heap = redirect;
  auto* base = static_cast<BYTE*>(library);
  if (base == nullptr) return -1;
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return -1;
  auto* headers = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      headers->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return 0;
  int patched = 0;
  for (auto* import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       import->Name != 0; ++import) {
    // Without the names' own table the slots hold addresses alone.
    if (import->OriginalFirstThunk == 0) continue;
    const char* from = reinterpret_cast<const char*>(base + import->Name);
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* named = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      void* to = hook_for(from, reinterpret_cast<const char*>(named->Name), slots->u1.Function);
      if (to == nullptr) continue;
      if (!patch(&slots->u1.Function, to)) return -1;
      ++patched;
    }
  }
  return patched;
}
