#include <malloc.h>

#include <cstdlib>

#include "platform/module_block.h"
#include "platform/process_memory.h"

ModuleBlock alloc_module_block(std::size_t size) {
  // malloc(0) may answer null; a module still needs a block it can free.
  void* block = std::malloc(size == 0 ? 1 : size);
  // Every block made here has the request copied in whole.
  if (block != nullptr) prepare_whole_write(block, size);
  return block;
}

void* lock_module_block(ModuleBlock block) {
  return block;
}

const bool kModuleBlockSizeIsExact = false;

std::size_t module_block_size(ModuleBlock block) {
  return malloc_usable_size(block);
}

void free_module_block(ModuleBlock block) {
  std::free(block);
}
