#pragma once

// The validator's fuzz call: as lean as one request can be sent and its reply
// judged, for loops of millions. The reply is checked as in any run, every
// contract warning included, then freed (or left, when it is no block), but
// never copied; the call is bracketed by the caller's enter_module_call_loop.

#include <cstddef>

#include "modules/module_record.h"

// Addresses already found to be no static data and no stack: a module's
// replies come from a few heap blocks that the allocator hands out again
// and again, and asking the system about each costs more than the call.
struct ReplyPlaceMemo {
  static constexpr unsigned kSize = 8;
  const void* heap[kSize];
  unsigned next;
};
void init_reply_place_memo(ReplyPlaceMemo* memo);

// Sends `length` bytes to the bound module `record` in a fresh block.
// Returns 1 when the module was called, 0 when no block could be made.
int probe_module_request(ModuleRecord* record, const char* request, std::size_t length,
                         ReplyPlaceMemo* memo);
