#include <dlfcn.h>
#include <malloc.h>
#include <pthread.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstdlib>

#include "platform/module_block.h"
#include "platform/process_memory.h"

// Where the system started the main thread's stack; the C library has it.
extern "C" void* __libc_stack_end;

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

namespace {

struct StackBounds {
  bool known = false;
  const char* low = nullptr;
  std::size_t size = 0;
};

// Taken before main, so on the main thread: the one whose stack the system
// describes only by reading the whole memory map.
const pthread_t main_thread = pthread_self();

// The main thread's stack runs down from where the process started it, as
// far as its limit lets it grow; no mapping lies in that reach. Known this
// way with no look at the memory map, which would cost more than the run.
bool main_thread_stack(StackBounds& stack) {
  const char* top = static_cast<const char*>(__libc_stack_end);
  struct rlimit limit;
  if (top == nullptr || getrlimit(RLIMIT_STACK, &limit) != 0) return false;
  // An unlimited stack puts the other mappings far below it: a reach of
  // 1 GiB is then still only stack.
  std::size_t reach = limit.rlim_cur == RLIM_INFINITY || limit.rlim_cur > (std::size_t{1} << 30)
                          ? std::size_t{1} << 30
                          : static_cast<std::size_t>(limit.rlim_cur);
  // The start sits a little below the top: above it are the program's
  // arguments and environment, within a page or a few of them.
  constexpr std::size_t kAboveStart = 256 * 1024;
  if (reinterpret_cast<std::uintptr_t>(top) < reach) return false;
  stack.low = top - reach;
  stack.size = reach + kAboveStart;
  return true;
}

// Asked once per thread.
const StackBounds& this_thread_stack() {
  thread_local StackBounds stack;
  thread_local bool asked = false;
  if (asked) return stack;
  asked = true;
  if (pthread_equal(pthread_self(), main_thread)) {
    stack.known = main_thread_stack(stack);
    return stack;
  }
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return stack;
  void* low = nullptr;
  if (pthread_attr_getstack(&attributes, &low, &stack.size) == 0) {
    stack.low = static_cast<const char*>(low);
    stack.known = true;
  }
  pthread_attr_destroy(&attributes);
  return stack;
}

}  // namespace

ReplyPlace locate_reply(const void* reply) {
  // dladdr finds the loaded object whose mapping holds the address: its
  // code, constants and static data alike.
  Dl_info info;
  if (dladdr(reply, &info) != 0 && info.dli_fbase != nullptr) return ReplyPlace::kLibraryImage;
  const StackBounds& stack = this_thread_stack();
  if (!stack.known) return ReplyPlace::kMayBeBlock;
  const char* address = static_cast<const char*>(reply);
  bool on_stack = address >= stack.low && address < stack.low + stack.size;
  return on_stack ? ReplyPlace::kThreadStack : ReplyPlace::kMayBeBlock;
}
