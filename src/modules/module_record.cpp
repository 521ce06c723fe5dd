#include "modules/module_record.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "modules/guarded_blocks.h"
#include "modules/host_memory.h"
#include "modules/module_warning.h"
#include "modules/reply_checks.h"
#include "platform/fault_reporting.h"
#include "platform/files.h"
#include "platform/library.h"
#include "platform/module_block.h"
#include "platform/process_memory.h"
#include "text/messages.h"

namespace {

// Hands `length` bytes of `text` to a module in a block of its own; null
// when no block could be had, in which case the module must not be called.
ModuleBlock make_module_block(const char* text, std::size_t length, BlockOwner owner,
                              const RequestPadding* padding = nullptr) {
  std::size_t pad = padding != nullptr ? padding->length : 0;
  // An empty text still gets a real block: the module owns it and frees it.
  ModuleBlock block = alloc_host_block(length + pad == 0 ? 1 : length + pad, owner);
  if (block == nullptr) {
    std::fputs(kBlockAllocError, stdout);
    return nullptr;
  }
  char* bytes = static_cast<char*>(lock_any_block(block));
  std::memcpy(bytes, text, length);
  if (pad != 0) {
    // The block's last byte stays NUL, so that even a module that reads to
    // a NUL stops inside the block.
    std::memset(bytes + length, padding->fill, pad - 1);
    bytes[length + pad - 1] = '\0';
  }
  return block;
}

// Copies `length` bytes of a reply and a NUL. A reply that is no block has
// no size to bound the module's claim: its bytes are read as part of the
// module's call, so that a claim beyond readable memory is the module's
// crash, not modtest's.
void copy_reply(const ModuleRecord* record, char* copy, const char* bytes, std::size_t length,
                bool is_block) {
  prepare_whole_write(copy, length);
  if (!is_block) enter_module_call(record->name, record->path, "request");
  if (length != 0) std::memcpy(copy, bytes, length);
  if (!is_block) leave_module_call();
  copy[length] = '\0';
}

// Looks up one export; a missing one is reported, with a hint when it is
// there under a stdcall name.
template <typename Entry>
Entry find_entry(const ModuleRecord* record, const char* entry, int argument_bytes,
                 const char* consequence) {
  Entry found = reinterpret_cast<Entry>(find_library_entry(record->library, entry));
  if (found == nullptr && !warn_about_decorated_export(record, entry, argument_bytes)) {
    warn_about_module(record, "does not export %s; %s", entry, consequence);
  }
  return found;
}

// The module directory: the path up to and including its last separator,
// or nothing when it has none.
std::size_t module_directory_length(const char* path) {
  std::size_t length = std::strlen(path);
  while (length > 0 && !ends_directory(path[length - 1])) --length;
  return length;
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

static bool binding_lines_are_muted = false;

void mute_binding_lines(bool muted) {
  binding_lines_are_muted = muted;
}

bool binding_lines_muted() {
  return binding_lines_are_muted;
}

int bind_module(ModuleRecord* record, const char* path) {
  // A library's own initialisation runs as it loads: a module call too.
  enter_module_call(record->name, path, "library initialisation");
  record->library = load_library(path);
  leave_module_call();
  if (record->library == nullptr) {
    std::fputs(kLibraryNotLoaded, stdout);
    warn_about_module(record, "did not load: %s", describe_library_failure(path).c_str());
    return 0;
  }
  record->unload_entry =
      find_entry<ModuleUnloadEntry>(record, "unload", 0, "its library is released without it");
  record->request_entry =
      find_entry<ModuleRequestEntry>(record, "request", 8, "a request to it comes back unanswered");
  record->load_entry = find_entry<ModuleLoadEntry>(record, "load", 8, "it cannot be bound");
  if (record->load_entry == nullptr) {
    std::fputs(kLoadNotExported, stdout);
    return 0;
  }
  const char* unguarded = nullptr;
  if (guard_enabled() && !guard_module_heap(record->library, unguarded)) {
    // Left unguarded, and said in the words of a finding: blocks of the
    // guarded heap would reach the system's free.
    guard_every(0);
    warn_about_module(record, "is not guarded: %s", unguarded);
  }
  // What load is given and makes is guarded whenever requests may be.
  if (guard_enabled()) guard_set_active(true);
  if (!binding_lines_are_muted) std::fputs(kLibraryLoading, stdout);
  char* directory = host_copy_text(path);
  if (directory == nullptr) {
    std::fputs(kModulePathAllocError, stdout);
    return 0;
  }
  std::size_t length = module_directory_length(directory);
  ModuleBlock block = make_module_block(directory, length, BlockOwner::kLoad);
  host_release(directory);
  if (block == nullptr) return 0;
  int removed = 0;
  enter_module_call(record->name, path, "load");
  int accepted = call_load_entry(record->load_entry, block, static_cast<long>(length), &removed);
  leave_module_call();
  check_calling_convention(record, "load", removed);
  if (accepted != 1) {
    warn_about_module(record, "returned %d from load, not 1, so it is not bound", accepted);
  }
  return accepted == 1 ? 1 : 0;
}

int exchange_with_module(ModuleRecord* record, const char* request, std::size_t request_length,
                         char** reply_copy, std::size_t* reply_copy_length) {
  return exchange_with_module_padded(record, request, request_length, nullptr, reply_copy,
                                     reply_copy_length);
}

int exchange_with_module_padded(ModuleRecord* record, const char* request,
                                std::size_t request_length, const RequestPadding* padding,
                                char** reply_copy, std::size_t* reply_copy_length) {
  if (record->request_entry == nullptr) {
    // A library that did not load at all has said so already.
    if (record->library != nullptr) std::fputs(kRequestNotExported, stdout);
    return 0;
  }
  guard_next_request();
  ModuleBlock block = make_module_block(request, request_length, BlockOwner::kRequest, padding);
  if (block == nullptr) return 0;
  long length = static_cast<long>(request_length);
  int removed = 0;
  enter_module_call(record->name, record->path, "request");
  ModuleBlock reply = call_request_entry(record->request_entry, block, &length, &removed);
  leave_module_call();
  check_calling_convention(record, "request", removed);

  // A reply in static data or on the stack is no block: asking the
  // allocator about it, or freeing it, may abort the run.
  ReplyPlace place = reply != nullptr ? locate_reply(reply) : ReplyPlace::kMayBeBlock;
  bool is_block = place == ReplyPlace::kMayBeBlock;
  const char* bytes = nullptr;
  std::size_t reply_length = 0;
  if (!is_block) {
    bytes = static_cast<const char*>(reply);
    reply_length = claimed_reply_length(record, length);
  } else if (reply != nullptr) {
    bytes = static_cast<const char*>(lock_any_block(reply));
  }
  if (is_block && bytes != nullptr) {
    reply_length = readable_reply_length(record, reply, length, request_length, reply == block);
  } else if (is_block) {
    warn_about_module(record, "returned no reply block from request; the reply is empty");
  }
  char* copy = static_cast<char*>(host_allocate(reply_length + 1));
  if (copy == nullptr) {
    std::fputs(kReplyCopyAllocError, stdout);
    reply_length = 0;
  } else {
    copy_reply(record, copy, bytes, reply_length, is_block);
  }
  if (!is_block) {
    warn_about_foreign_reply(record, place);
  } else if (reply != nullptr && guard_owns(reply)) {
    // A bad free found here is the module's fault in its request.
    enter_module_call(record->name, record->path, "request");
    free_any_block(reply);
    leave_module_call();
  } else if (reply != nullptr) {
    // A module that wrote past its reply block has corrupted the heap
    // around it, which the allocator may find only now: the module's fault.
    enter_module_call(record->name, record->path, "request, as its reply block was freed");
    free_module_block(reply);
    leave_module_call();
  }
  *reply_copy = copy;
  *reply_copy_length = reply_length;
  return 1;
}

int call_request(ModuleRecord* record, char** buffer) {
  std::size_t length = std::strlen(*buffer);
  return call_request(record, buffer, &length);
}

int call_request(ModuleRecord* record, char** buffer, std::size_t* length) {
  char* reply = nullptr;
  std::size_t reply_length = 0;
  if (!exchange_with_module(record, *buffer, *length, &reply, &reply_length)) return 1;
  if (reply == nullptr) {
    // The request buffer becomes the empty reply: the caller always gets a
    // live buffer it may print and release.
    (*buffer)[0] = '\0';
    *length = 0;
  } else {
    host_release(*buffer);
    *buffer = reply;
    // A reply is text: it ends at its first NUL, wherever the module put one.
    *length = std::strlen(reply);
  }
  return 1;
}

int release_module(ModuleRecord* record) {
  if (get_state(record) != 1) return 1;
  if (record->unload_entry != nullptr) {
    int removed = 0;
    enter_module_call(record->name, record->path, "unload");
    call_unload_entry(record->unload_entry, &removed);
    leave_module_call();
    check_calling_convention(record, "unload", removed);
  }
  // Releasing the library runs its own clean-up code.
  enter_module_call(record->name, record->path, "library release");
  int released = free_library(record->library);
  leave_module_call();
  return released;
}

int set_state(ModuleRecord* record, unsigned int value) {
  if (value > 1) return 0;
  record->state = value;
  return 1;
}

unsigned int get_state(const ModuleRecord* record) {
  return record->state;
}
