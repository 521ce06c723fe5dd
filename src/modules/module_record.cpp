#include "modules/module_record.h"

#include <cstdio>
#include <cstring>

#include "modules/host_memory.h"

namespace {

// Hands `length` bytes of `text` to a module in a block of its own; null
// when no block could be had, in which case the module must not be called.
ModuleBlock make_module_block(const char* text, std::size_t length) {
  // An empty text still gets a real block: the module owns it and frees it.
  ModuleBlock block = alloc_module_block(length == 0 ? 1 : length);
  if (block == nullptr) {
    std::printf("block alloc error!\n");
    return nullptr;
  }
  std::memcpy(lock_module_block(block), text, length);
  return block;
}

// How many reply bytes may be read: the length the module reports, but
// never below 0 nor beyond the block it handed back.
std::size_t readable_reply_length(ModuleBlock reply, long reported) {
  if (reported <= 0) return 0;
  std::size_t length = static_cast<std::size_t>(reported);
  std::size_t size = module_block_size(reply);
  return length < size ? length : size;
}

// The module directory: the path up to and including its last separator,
// or nothing when it has none.
std::size_t module_directory_length(const char* path) {
  const char* last = std::strrchr(path, kPathSeparator);
  return last == nullptr ? 0 : static_cast<std::size_t>(last - path) + 1;
}

}  // namespace

void init_record(ModuleRecord* record) {
  record->library = nullptr;
  record->load_entry = nullptr;
  record->unload_entry = nullptr;
  record->request_entry = nullptr;
  record->name = nullptr;
  record->path = nullptr;
  record->state = 0;
  record->next = nullptr;
}

int bind_module(ModuleRecord* record, const char* path) {
  record->library = load_library(path);
  if (record->library == nullptr) {
    std::printf("NG\n");
    return 0;
  }
  record->unload_entry =
      reinterpret_cast<ModuleUnloadEntry>(find_library_entry(record->library, "unload"));
  record->request_entry =
      reinterpret_cast<ModuleRequestEntry>(find_library_entry(record->library, "request"));
  record->load_entry =
      reinterpret_cast<ModuleLoadEntry>(find_library_entry(record->library, "load"));
  if (record->load_entry == nullptr) {
    std::printf("load is not export!\n");
    return 0;
  }
  std::printf("dll loading.\n");
  char* directory = host_copy_text(path);
  if (directory == nullptr) {
    std::printf("DLL path malloc error!\n");
    return 0;
  }
  std::size_t length = module_directory_length(directory);
  ModuleBlock block = make_module_block(directory, length);
  host_release(directory);
  if (block == nullptr) return 0;
  return record->load_entry(block, static_cast<long>(length)) == 1 ? 1 : 0;
}

int call_request(ModuleRecord* record, char** buffer) {
  if (record->request_entry == nullptr) {
    // A library that did not load at all has said so already.
    if (record->library != nullptr) std::printf("request is not export!\n");
    return 1;
  }
  std::size_t request_length = std::strlen(*buffer);
  ModuleBlock block = make_module_block(*buffer, request_length);
  if (block == nullptr) return 1;
  long length = static_cast<long>(request_length);
  ModuleBlock reply = record->request_entry(block, &length);

  const char* bytes = nullptr;
  std::size_t reply_length = 0;
  if (reply != nullptr) {
    bytes = static_cast<const char*>(lock_module_block(reply));
    if (bytes != nullptr) reply_length = readable_reply_length(reply, length);
  }
  char* copy = static_cast<char*>(host_allocate(reply_length + 1));
  if (copy == nullptr) {
    // The request buffer becomes the empty reply: the caller always gets a
    // live buffer it may print and release.
    std::printf("malloc error!\n");
    (*buffer)[0] = '\0';
  } else {
    if (reply_length != 0) std::memcpy(copy, bytes, reply_length);
    copy[reply_length] = '\0';
    host_release(*buffer);
    *buffer = copy;
  }
  if (reply != nullptr) free_module_block(reply);
  return 1;
}

int release_module(ModuleRecord* record) {
  if (get_state(record) != 1) return 1;
  if (record->unload_entry != nullptr) record->unload_entry();
  return free_library(record->library);
}

int set_state(ModuleRecord* record, unsigned int value) {
  if (value > 1) return 0;
  record->state = value;
  return 1;
}

unsigned int get_state(const ModuleRecord* record) {
  return record->state;
}
