#pragma once

#include <cstdint>

#include "modules/module_record.h"

// The modules of one run, in the order of the module list. Once the list is
// open, the chain always ends with one empty record.
struct ModuleRegistry {
  ModuleRecord* head;
  int32_t count;    // entry lines taken, bound or not
  char* directory;  // prefix of every module path
  // When set, only the entries of this name are taken from the list: a
  // module examined on its own is not at the mercy of the others' loading.
  const char* only_name;
};

void init_registry(ModuleRegistry* registry);
// Releases what the registry itself holds; call after unload_all_modules.
void end_registry(ModuleRegistry* registry);

// Reads "saori.ini" in `directory` and binds every module listed there, in
// file order. Returns 0 when the list cannot be opened, otherwise 1.
int load_module_list(ModuleRegistry* registry, const char* directory);

// Fills `record`, the chain's empty last record, from one line of the list
// and hangs a new empty record behind it. Returns 1 for an entry line, 0 for
// a comment or blank line (nothing changed) or when no memory was left for
// the record (nothing bound; the list should not be read further).
int add_module_from_line(ModuleRegistry* registry, const char* line, ModuleRecord* record);

// Sends the request in `*buffer` to the first module named `name`: returns
// 1 with the reply in `*buffer`, or 0 with the buffer untouched. When no
// module answers for want of the name or of a loaded library, says so on
// standard error.
int send_request(ModuleRegistry* registry, const char* name, char** buffer);
// The same for a request of known length, as call_request takes it.
int send_request(ModuleRegistry* registry, const char* name, char** buffer, std::size_t* length);

// The first record named `name`, bound or not; null when none is.
ModuleRecord* find_module(const ModuleRegistry* registry, const char* name);

// Unloads every bound module, from the last listed to the first, and
// releases the whole chain. Returns 1.
int unload_all_modules(ModuleRegistry* registry);
int release_chain(ModuleRecord* record);

// Record fields, each copied to the heap at its exact length.
int set_name(ModuleRecord* record, const char* text);
int set_path(ModuleRecord* record, const char* text);
const char* get_name(const ModuleRecord* record);
const char* get_path(const ModuleRecord* record);
ModuleRecord* get_next(const ModuleRecord* record);
int append_empty_record(ModuleRecord* record);
