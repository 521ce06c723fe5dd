#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>

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

ReplyPlace locate_reply(const void* reply) {
  // dladdr finds the loaded object whose mapping holds the address: its
  // code, constants and static data alike.
  Dl_info info;
  if (dladdr(reply, &info) != 0 && info.dli_fbase != nullptr) return ReplyPlace::kLibraryImage;
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return ReplyPlace::kMayBeBlock;
  void* low = nullptr;
  std::size_t size = 0;
  bool on_stack = pthread_attr_getstack(&attributes, &low, &size) == 0 && reply >= low &&
                  static_cast<const char*>(reply) < static_cast<const char*>(low) + size;
  pthread_attr_destroy(&attributes);
  return on_stack ? ReplyPlace::kThreadStack : ReplyPlace::kMayBeBlock;
}
