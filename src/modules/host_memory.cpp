#include "modules/host_memory.h"

#include <cstdlib>
#include <cstring>

#include "platform/process_memory.h"

static HostAllocator current_allocator = std::malloc;

void* host_allocate(std::size_t size) {
  return current_allocator(size);
}

void host_release(void* block) {
  std::free(block);
}

HostAllocator set_host_allocator(HostAllocator allocator) {
  HostAllocator previous = current_allocator;
  current_allocator = allocator;
  return previous;
}

char* host_copy_text(const char* text) {
  return host_join_text(text, "");
}

char* host_copy_bytes(const char* bytes, std::size_t length) {
  char* copy = static_cast<char*>(host_allocate(length + 1));
  if (copy == nullptr) return nullptr;
  prepare_whole_write(copy, length);
  std::memcpy(copy, bytes, length);
  copy[length] = '\0';
  return copy;
}

char* host_join_text(const char* first, const char* second) {
  std::size_t first_length = std::strlen(first);
  std::size_t second_length = std::strlen(second);
  char* joined = static_cast<char*>(host_allocate(first_length + second_length + 1));
  if (joined == nullptr) return nullptr;
  std::memcpy(joined, first, first_length);
  std::memcpy(joined + first_length, second, second_length + 1);
  return joined;
}
