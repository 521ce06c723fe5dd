// The module's global offset table: each JUMP_SLOT and GLOB_DAT relocation
// of its own dynamic section that names a heap function gets the address
// of a function here instead, which hands the call to the guarded heap.

#include <dlfcn.h>
#include <elf.h>
#include <link.h>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform/import_redirect.h"

namespace {

HeapRedirect heap{};

#define CALLER reinterpret_cast<std::uintptr_t>(__builtin_return_address(0))

constexpr std::size_t kAlignment = alignof(std::max_align_t);

void* take(std::size_t size, std::size_t alignment, std::uintptr_t from) {
  return heap.allocate(size, alignment < kAlignment ? kAlignment : alignment, from);
}

bool give_back(void* block, std::uintptr_t from) {
  if (block == nullptr || !heap.owns(block)) return false;
  heap.release(block, from);
  return true;
}

void* hook_malloc(std::size_t size) {
  void* block = take(size, kAlignment, CALLER);
  return block != nullptr ? block : std::malloc(size);
}

void* hook_calloc(std::size_t count, std::size_t size) {
  if (size != 0 && count > static_cast<std::size_t>(-1) / size) return std::calloc(count, size);
  // The guarded heap's pages come zeroed.
  void* block = take(count * size, kAlignment, CALLER);
  return block != nullptr ? block : std::calloc(count, size);
}

void hook_free(void* block) {
  if (!give_back(block, CALLER)) std::free(block);
}

void* hook_realloc(void* block, std::size_t size) {
  std::uintptr_t from = CALLER;
  std::size_t old_size = 0;
  if (block == nullptr || !heap.owns(block)) {
    void* made = block == nullptr ? take(size, kAlignment, from) : nullptr;
    return made != nullptr ? made : std::realloc(block, size);
  }
  if (!heap.block_size(block, old_size)) {
    heap.release(block, from);
    return nullptr;
  }
  if (size == 0) {
    heap.release(block, from);
    return nullptr;
  }
  void* made = heap.reallocate(block, size, kAlignment, from);
  if (made != nullptr) return made;
  made = std::malloc(size);
  if (made == nullptr) return nullptr;
  std::memcpy(made, block, old_size < size ? old_size : size);
  heap.release(block, from);
  return made;
}

int hook_posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  void* block = take(size, alignment, CALLER);
  if (block == nullptr) return posix_memalign(out, alignment, size);
  *out = block;
  return 0;
}

void* hook_aligned_alloc(std::size_t alignment, std::size_t size) {
  void* block = take(size, alignment, CALLER);
  return block != nullptr ? block : aligned_alloc(alignment, size);
}

void* hook_memalign(std::size_t alignment, std::size_t size) {
  void* block = take(size, alignment, CALLER);
  return block != nullptr ? block : memalign(alignment, size);
}

std::size_t hook_malloc_usable_size(void* block) {
  std::size_t size = 0;
  if (block == nullptr || !heap.owns(block)) return malloc_usable_size(block);
  return heap.block_size(block, size) ? size : 0;
}

void* hook_new(std::size_t size) {
  void* block = take(size, kAlignment, CALLER);
  return block != nullptr ? block : ::operator new(size);
}

void* hook_new_array(std::size_t size) {
  void* block = take(size, kAlignment, CALLER);
  return block != nullptr ? block : ::operator new[](size);
}

void* hook_new_nothrow(std::size_t size, const std::nothrow_t&) {
  void* block = take(size, kAlignment, CALLER);
  return block != nullptr ? block : ::operator new(size, std::nothrow);
}

void hook_delete(void* block) {
  if (!give_back(block, CALLER)) ::operator delete(block);
}

void hook_delete_array(void* block) {
  if (!give_back(block, CALLER)) ::operator delete[](block);
}

void hook_delete_sized(void* block, std::size_t) {
  if (!give_back(block, CALLER)) ::operator delete(block);
}

void hook_delete_array_sized(void* block, std::size_t) {
  if (!give_back(block, CALLER)) ::operator delete[](block);
}

void hook_delete_nothrow(void* block, const std::nothrow_t&) {
  if (!give_back(block, CALLER)) ::operator delete(block);
}

struct Hook {
  const char* name;
  void* to;
};

const Hook kHooks[] = {
    {"malloc", reinterpret_cast<void*>(hook_malloc)},
    {"calloc", reinterpret_cast<void*>(hook_calloc)},
    {"realloc", reinterpret_cast<void*>(hook_realloc)},
    {"free", reinterpret_cast<void*>(hook_free)},
    {"posix_memalign", reinterpret_cast<void*>(hook_posix_memalign)},
    {"aligned_alloc", reinterpret_cast<void*>(hook_aligned_alloc)},
    {"memalign", reinterpret_cast<void*>(hook_memalign)},
    {"malloc_usable_size", reinterpret_cast<void*>(hook_malloc_usable_size)},
    {"_Znwm", reinterpret_cast<void*>(hook_new)},
    {"_Znam", reinterpret_cast<void*>(hook_new_array)},
    {"_ZnwmRKSt9nothrow_t", reinterpret_cast<void*>(hook_new_nothrow)},
    {"_ZnamRKSt9nothrow_t", reinterpret_cast<void*>(hook_new_nothrow)},
    {"_ZdlPv", reinterpret_cast<void*>(hook_delete)},
    {"_ZdaPv", reinterpret_cast<void*>(hook_delete_array)},
    {"_ZdlPvm", reinterpret_cast<void*>(hook_delete_sized)},
    {"_ZdaPvm", reinterpret_cast<void*>(hook_delete_array_sized)},
    {"_ZdlPvRKSt9nothrow_t", reinterpret_cast<void*>(hook_delete_nothrow)},
    {"_ZdaPvRKSt9nothrow_t", reinterpret_cast<void*>(hook_delete_nothrow)},
};

void* hook_for(const char* name) {
  for (const Hook& hook : kHooks) {
    if (std::strcmp(hook.name, name) == 0) return hook.to;
  }
  return nullptr;
}

// The module's read-only-after-relocation range, from its program headers.
struct Relro {
  ElfW(Addr) base;
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;
};

int find_relro(dl_phdr_info* info, std::size_t, void* data) {
  Relro* relro = static_cast<Relro*>(data);
  if (info->dlpi_addr != relro->base) return 0;
  for (ElfW(Half) index = 0; index < info->dlpi_phnum; ++index) {
    const ElfW(Phdr)& header = info->dlpi_phdr[index];
    if (header.p_type != PT_GNU_RELRO) continue;
    relro->start = info->dlpi_addr + header.p_vaddr;
    relro->end = relro->start + header.p_memsz;
  }
  return 1;
}

// Writes one slot of the table, opening a read-only page for the write.
bool patch(void** slot, void* to, const Relro& relro) {
  std::uintptr_t at = reinterpret_cast<std::uintptr_t>(slot);
  std::uintptr_t page_size = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
  std::uintptr_t mask = ~(page_size - 1);
  void* page = reinterpret_cast<void*>(at & mask);
  // The loader leaves the range's last part page writable.
  bool read_only = at >= (relro.start & mask) && at < (relro.end & mask);
  if (read_only && mprotect(page, page_size, PROT_READ | PROT_WRITE) != 0) return false;
  *slot = to;
  if (read_only) mprotect(page, page_size, PROT_READ);
  return true;
}

#if defined(__x86_64__)
constexpr unsigned kJumpSlot = R_X86_64_JUMP_SLOT;
constexpr unsigned kGlobalData = R_X86_64_GLOB_DAT;
using Relocation = ElfW(Rela);
constexpr ElfW(Sxword) kRelocationTable = DT_RELA;
constexpr ElfW(Sxword) kRelocationSize = DT_RELASZ;
#define RELOCATION_TYPE ELF64_R_TYPE
#define RELOCATION_SYMBOL ELF64_R_SYM
#elif defined(__i386__)
constexpr unsigned kJumpSlot = R_386_JMP_SLOT;
constexpr unsigned kGlobalData = R_386_GLOB_DAT;
using Relocation = ElfW(Rel);
constexpr ElfW(Sxword) kRelocationTable = DT_REL;
constexpr ElfW(Sxword) kRelocationSize = DT_RELSZ;
#define RELOCATION_TYPE ELF32_R_TYPE
#define RELOCATION_SYMBOL ELF32_R_SYM
#elif defined(__aarch64__)
constexpr unsigned kJumpSlot = R_AARCH64_JUMP_SLOT;
constexpr unsigned kGlobalData = R_AARCH64_GLOB_DAT;
using Relocation = ElfW(Rela);
constexpr ElfW(Sxword) kRelocationTable = DT_RELA;
constexpr ElfW(Sxword) kRelocationSize = DT_RELASZ;
#define RELOCATION_TYPE ELF64_R_TYPE
#define RELOCATION_SYMBOL ELF64_R_SYM
#endif

struct Tables {
  const ElfW(Sym) * symbols = nullptr;
  const char* names = nullptr;
  const Relocation* plt = nullptr;
  std::size_t plt_bytes = 0;
  const Relocation* data = nullptr;
  std::size_t data_bytes = 0;
};

// The loader has made most of these absolute already; some systems leave
// them relative to the load address.
template <typename Pointer>
Pointer address_of(ElfW(Addr) value, ElfW(Addr) base) {
  return reinterpret_cast<Pointer>(value < base ? value + base : value);
}

Tables read_dynamic(const link_map* map) {
  Tables tables;
  for (const ElfW(Dyn)* entry = map->l_ld; entry->d_tag != DT_NULL; ++entry) {
    ElfW(Addr) value = entry->d_un.d_ptr;
    if (entry->d_tag == DT_SYMTAB)
      tables.symbols = address_of<const ElfW(Sym)*>(value, map->l_addr);
    if (entry->d_tag == DT_STRTAB) tables.names = address_of<const char*>(value, map->l_addr);
    if (entry->d_tag == DT_JMPREL) tables.plt = address_of<const Relocation*>(value, map->l_addr);
    if (entry->d_tag == DT_PLTRELSZ) tables.plt_bytes = entry->d_un.d_val;
    if (entry->d_tag == kRelocationTable) {
      tables.data = address_of<const Relocation*>(value, map->l_addr);
    }
    if (entry->d_tag == kRelocationSize) tables.data_bytes = entry->d_un.d_val;
  }
  return tables;
}

int patch_relocations(const link_map* map, const Tables& tables, const Relocation* first,
                      std::size_t bytes, const Relro& relro) {
  int patched = 0;
  if (first == nullptr) return 0;
  for (const Relocation* at = first; at < first + bytes / sizeof *at; ++at) {
    unsigned type = RELOCATION_TYPE(at->r_info);
    if (type != kJumpSlot && type != kGlobalData) continue;
    const char* name = tables.names + tables.symbols[RELOCATION_SYMBOL(at->r_info)].st_name;
    void* to = hook_for(name);
    if (to == nullptr) continue;
    if (!patch(reinterpret_cast<void**>(map->l_addr + at->r_offset), to, relro)) return -1;
    ++patched;
  }
  return patched;
}

}  // namespace

int redirect_heap_imports(LibraryHandle library, const HeapRedirect& redirect) {
  if (heap.allocate == nullptr) heap = redirect;
  link_map* map = nullptr;
  if (library == nullptr || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr) {
    return -1;
  }
  Tables tables = read_dynamic(map);
  if (tables.symbols == nullptr || tables.names == nullptr) return -1;
  Relro relro;
  relro.base = map->l_addr;
  dl_iterate_phdr(find_relro, &relro);
  int jumps = patch_relocations(map, tables, tables.plt, tables.plt_bytes, relro);
  int data = patch_relocations(map, tables, tables.data, tables.data_bytes, relro);
  return jumps < 0 || data < 0 ? -1 : jumps + data;
}
