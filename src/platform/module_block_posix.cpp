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
  // The thread's stack is asked for once: for the main thread the system
  // reads the whole memory map to tell, far more than a request costs.
  struct StackBounds {
    bool known = false;
    const char* low = nullptr;
    std::size_t size = 0;
  };
  thread_local StackBounds stack;
  if (!stack.known) {
    pthread_attr_t attributes;
    if (pthread_getattr_np(pthread_self(), &attributes) != 0) return ReplyPlace::kMayBeBlock;
    void* low = nullptr;
    if (pthread_attr_getstack(&attributes, &low, &stack.size) == 0) {
      stack.low = static_cast<const char*>(low);
      stack.known = true;
    }
    pthread_attr_destroy(&attributes);
    if (!stack.known) return ReplyPlace::kMayBeBlock;
  }
  const char* address = static_cast<const char*>(reply);
  bool on_stack = address >= stack.low && address < stack.low + stack.size;
  return on_stack ? ReplyPlace::kThreadStack : ReplyPlace::kMayBeBlock;
}
