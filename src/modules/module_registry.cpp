#include "modules/module_registry.h"

#include <cstdio>
#include <cstring>

#include "modules/host_memory.h"
#include "modules/module_field_reader.h"
#include "modules/module_warning.h"
#include "text/messages.h"
#include "text/text_file.h"

namespace {

// One read of the list takes at most this many bytes less one; the rest of a
// longer line comes as a line of its own.
constexpr std::size_t kLineBufferSize = 32768;

// add_module_from_line's answer when the record could not be completed.
constexpr int kOutOfMemory = -1;

void release_record_fields(ModuleRecord* record) {
  host_release(record->name);
  host_release(record->path);
  host_release(record->next);
  init_record(record);
}

}  // namespace

void init_registry(ModuleRegistry* registry) {
  registry->head = nullptr;
  registry->count = 0;
  registry->directory = nullptr;
  registry->only_name = nullptr;
}

void end_registry(ModuleRegistry* registry) {
  host_release(registry->directory);
  registry->directory = nullptr;
}

int set_name(ModuleRecord* record, const char* text) {
  record->name = host_copy_text(text);
  return record->name != nullptr ? 1 : 0;
}

int set_path(ModuleRecord* record, const char* text) {
  record->path = host_copy_text(text);
  return record->path != nullptr ? 1 : 0;
}

const char* get_name(const ModuleRecord* record) {
  return record->name;
}
const char* get_path(const ModuleRecord* record) {
  return record->path;
}
ModuleRecord* get_next(const ModuleRecord* record) {
  return record->next;
}

int append_empty_record(ModuleRecord* record) {
  record->next = static_cast<ModuleRecord*>(host_allocate(sizeof(ModuleRecord)));
  if (record->next == nullptr) {
    std::fputs(kNextRecordAllocError, stdout);
    return 0;
  }
  init_record(record->next);
  return 1;
}

int add_module_from_line(ModuleRegistry* registry, const char* line, ModuleRecord* record) {
  char name[kFieldCapacity];
  char path_field[kFieldCapacity];
  if (!split_module_line(line, name, path_field)) return 0;
  if (registry->only_name != nullptr && std::strcmp(name, registry->only_name) != 0) return 0;

  // Everything the record needs is allocated before the module is bound, so
  // that a record is never left half made: with a null name, or bound with
  // no empty record behind it.
  char* full_path = host_join_text(registry->directory, path_field);
  bool complete = full_path != nullptr && append_empty_record(record);
  complete = complete && set_name(record, name) && set_path(record, full_path);
  host_release(full_path);
  if (!complete) {
    release_record_fields(record);
    return kOutOfMemory;
  }

  if (bind_module(record, record->path)) {
    set_state(record, 1);
  } else {
    set_state(record, 0);
    std::printf(kLoadFailureFormat, record->path);
  }
  registry->count += 1;
  if (!binding_lines_muted()) {
    std::printf(kModuleNameFormat, get_name(record));
    std::printf(kModulePathFormat, get_path(record));
  }
  return 1;
}

int load_module_list(ModuleRegistry* registry, const char* directory) {
  char* list_path = host_join_text(directory, "saori.ini");
  TextFile* file = list_path != nullptr ? open_text_file(list_path) : nullptr;
  host_release(list_path);
  if (file == nullptr) {
    std::fputs(kModuleListNotOpened, stdout);
    return 0;
  }
  registry->directory = host_copy_text(directory);
  registry->head = static_cast<ModuleRecord*>(host_allocate(sizeof(ModuleRecord)));
  if (registry->directory == nullptr || registry->head == nullptr) {
    std::fputs(kListStartAllocError, stdout);
    host_release(registry->head);
    registry->head = nullptr;
    close_text_file(file);
    return 1;
  }
  registry->count = 0;
  init_record(registry->head);

  ModuleRecord* current = registry->head;
  char line[kLineBufferSize];
  for (int first = 1; read_text_chunk(file, line, sizeof line) != 0; first = 0) {
    if (first && std::strncmp(line, "\xEF\xBB\xBF", 3) == 0) warn_about_list_byte_order_mark();
    int added = add_module_from_line(registry, line, current);
    if (added == kOutOfMemory) break;
    if (added == 1) current = get_next(current);
  }
  close_text_file(file);
  return 1;
}

ModuleRecord* find_module(const ModuleRegistry* registry, const char* name) {
  for (ModuleRecord* record = registry->head; record != nullptr && record->next != nullptr;
       record = record->next) {
    if (std::strcmp(name, record->name) == 0) return record;
  }
  return nullptr;
}

int send_request(ModuleRegistry* registry, const char* name, char** buffer) {
  std::size_t length = std::strlen(*buffer);
  return send_request(registry, name, buffer, &length);
}

int send_request(ModuleRegistry* registry, const char* name, char** buffer, std::size_t* length) {
  ModuleRecord* record = find_module(registry, name);
  if (record == nullptr || record->library == nullptr) {
    warn_about_unanswered_request(registry->head, record, name);
  }
  return record != nullptr ? call_request(record, buffer, length) : 0;
}

int release_chain(ModuleRecord* record) {
  // Modules go from the last listed back to the first, so a module that
  // relies on one listed before it still finds it loaded. The chain is
  // turned around first so that no recursion grows with the list.
  ModuleRecord* reversed = nullptr;
  while (record != nullptr) {
    ModuleRecord* next = record->next;
    record->next = reversed;
    reversed = record;
    record = next;
  }
  // The first record of the original chain is the caller's to release.
  while (reversed != nullptr) {
    ModuleRecord* before = reversed->next;
    release_module(reversed);
    host_release(reversed->name);
    host_release(reversed->path);
    if (before != nullptr) {
      host_release(reversed);
    } else {
      init_record(reversed);
    }
    reversed = before;
  }
  return 1;
}

int unload_all_modules(ModuleRegistry* registry) {
  if (registry->head != nullptr) release_chain(registry->head);
  host_release(registry->head);
  registry->head = nullptr;
  return 1;
}
