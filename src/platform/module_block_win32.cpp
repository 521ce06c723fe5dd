#include <windows.h>

#include "platform/module_block.h"

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

ReplyPlace locate_reply(const void* reply) {
  MEMORY_BASIC_INFORMATION where;
  if (VirtualQuery(reply, &where, sizeof where) == 0) return ReplyPlace::kMayBeBlock;
  if (where.Type == MEM_IMAGE) return ReplyPlace::kLibraryImage;
  // A thread's whole stack is one reservation: the reply is on this
  // thread's stack when it lies in the same one as a local of this call.
  MEMORY_BASIC_INFORMATION stack;
  char here = 0;
  if (VirtualQuery(&here, &stack, sizeof stack) != 0 &&
      where.AllocationBase == stack.AllocationBase) {
    return ReplyPlace::kThreadStack;
  }
  return ReplyPlace::kMayBeBlock;
}
