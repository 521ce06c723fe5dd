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
