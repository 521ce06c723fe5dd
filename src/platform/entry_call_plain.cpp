// Module entries called directly: every system but 32-bit Windows has one
// calling convention for them, so there is nothing to measure.

#include "platform/library.h"

int call_load_entry(ModuleLoadEntry entry, ModuleBlock block, long length, int* removed) {
  *removed = 0;
  return entry(block, length);
}

ModuleBlock call_request_entry(ModuleRequestEntry entry, ModuleBlock block, long* length,
                               int* removed) {
  *removed = 0;
  return entry(block, length);
}

int call_unload_entry(ModuleUnloadEntry entry, int* removed) {
  *removed = 0;
  return entry();
}
