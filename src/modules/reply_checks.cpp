#include "modules/reply_checks.h"

#include <algorithm>

#include "modules/guarded_blocks.h"
#include "modules/module_warning.h"

const char kForeignReplyWords[] = "returned a reply that is no block of its own";

// The length the module reports, never below 0; says so when it is.
std::size_t claimed_reply_length(const ModuleRecord* record, long reported) {
  if (reported >= 0) return static_cast<std::size_t>(reported);
  warn_about_module(record, "set a negative reply length (%ld) in request; the reply is empty",
                    reported);
  return 0;
}

// How many reply bytes may be read: the length the module reports, but
// never below 0 nor beyond the block it handed back. Says so when the
// module's claim does not fit what it gave. `in_place`: the reply is the
// request's own block, which the contract allows.
std::size_t readable_reply_length(const ModuleRecord* record, ModuleBlock reply, long reported,
                                  std::size_t request_length, bool in_place) {
  if (reported < 0) return claimed_reply_length(record, reported);
  std::size_t length = static_cast<std::size_t>(reported);
  std::size_t size = any_block_size(reply);
  if (length > size) {
    warn_about_module(record,
                      "set a reply length of %zu bytes in request, beyond its reply block of %zu "
                      "bytes; the reply is cut to %zu bytes",
                      length, size, size);
    return size;
  }
  // Only an exact block size tells a forgotten length from a reply as long
  // as the request, and only when the block shows the reply was cut: a
  // byte other than NUL right after the length. A reply ended by a NUL in
  // the byte after it is the usual C way, and a reply in the request's own
  // block holds the request's bytes after it. An empty reply in a block of
  // one byte is no sign: no block is smaller, and a zero-byte one may be
  // given a byte.
  if ((kModuleBlockSizeIsExact || guard_owns(reply)) && !in_place && length == request_length &&
      size > std::max<std::size_t>(length, 1) &&
      static_cast<const char*>(lock_any_block(reply))[length] != '\0') {
    warn_about_module(record,
                      "left the reply length in request at the request's %zu bytes, but its "
                      "reply block holds %zu bytes: set *length to the reply's length",
                      length, size);
  }
  return length;
}

// Says so when a 32-bit entry took its own arguments off the stack.
void check_calling_convention(const ModuleRecord* record, const char* entry, int removed) {
  if (removed == 0) return;
  warn_about_module(record,
                    "took %d bytes of arguments off the stack itself in %s: the entry is "
                    "stdcall, not cdecl (the stack was put right); declare it with MODTEST_CALL",
                    removed, entry);
}

void warn_about_foreign_reply(const ModuleRecord* record, ReplyPlace place) {
  warn_about_module(record, "%s (it points into %s); modtest did not free it", kForeignReplyWords,
                    place == ReplyPlace::kLibraryImage ? "the module's static data" : "the stack");
}
