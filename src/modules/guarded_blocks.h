#pragma once

// The blocks the host hands to modules and takes back, from the guarded
// heap while it guards (guard_heap/guard_heap.h) and from the system's
// allocator otherwise (platform/module_block.h): either side may free what
// the other made, so each call here tells the two apart.

#include <cstddef>

#include "guard_heap/guard_heap.h"
#include "platform/library.h"
#include "platform/module_block.h"

// Gives `library`, just loaded, the guarded heap: its imports of heap
// functions are redirected. False, with `why` set, when it could not be.
bool guard_module_heap(LibraryHandle library, const char*& why);

// A request block, or the block load is given: guarded while the heap
// guards, its last byte against a no-access page.
ModuleBlock alloc_guarded_block(std::size_t size, BlockOwner owner);
inline ModuleBlock alloc_host_block(std::size_t size, BlockOwner owner) {
  return guard_active() ? alloc_guarded_block(size, owner) : alloc_module_block(size);
}
inline void* lock_any_block(ModuleBlock block) {
  return guard_owns(block) ? block : lock_module_block(block);
}
std::size_t guarded_block_size(ModuleBlock block);
inline std::size_t any_block_size(ModuleBlock block) {
  return guard_owns(block) ? guarded_block_size(block) : module_block_size(block);
}
// A block of the module's: a bad free of a guarded one faults at once,
// for the fault handler to report.
void free_guarded_block(ModuleBlock block);
inline void free_any_block(ModuleBlock block) {
  if (guard_owns(block)) return free_guarded_block(block);
  free_module_block(block);
}
