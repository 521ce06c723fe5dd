#include "modules/guarded_blocks.h"

#include "platform/import_redirect.h"

namespace {

void release_or_trip(void* block, std::uintptr_t from) {
  if (guard_free(block, from) == GuardFree::kBad) guard_trip();
}

void* allocate_for_module(std::size_t size, std::size_t alignment, std::uintptr_t from) {
  return guard_allocate(size, alignment, BlockOwner::kModule, from);
}

bool guarded_size(const void* block, std::size_t& size) {
  return guard_block_size(block, size);
}

const HeapRedirect kGuardedHeap = {allocate_for_module, guard_owns, guard_reallocate, guarded_size,
                                   release_or_trip};

}  // namespace

bool guard_module_heap(LibraryHandle library, const char*& why) {
  if (!start_guard_heap()) {
    why = "the system would not reserve the address space of the guarded heap";
    return false;
  }
  if (redirect_heap_imports(library, kGuardedHeap) < 0) {
    why = "its import tables could not be redirected to the guarded heap";
    return false;
  }
  return true;
}

ModuleBlock alloc_guarded_block(std::size_t size, BlockOwner owner) {
  // Alignment 1: the block's last byte is the page's last, so that even a
  // read of one byte past the end faults.
  void* block = guard_allocate(size, 1, owner, 0);
  return block != nullptr ? block : alloc_module_block(size);
}

std::size_t guarded_block_size(ModuleBlock block) {
  std::size_t size = 0;
  return guard_block_size(block, size) ? size : 0;
}

void free_guarded_block(ModuleBlock block) {
  release_or_trip(block, 0);
}
