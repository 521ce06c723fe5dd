#pragma once

// What the host makes of a reply, shared by the plain exchange and the
// validator's fuzz call: each check says on standard error how the module
// broke its contract.

#include <cstddef>

#include "modules/module_record.h"
#include "platform/module_block.h"

// The length the module reports, never below 0; says so when it is.
std::size_t claimed_reply_length(const ModuleRecord* record, long reported);

// How many reply bytes may be read: the length the module reports, but
// never below 0 nor beyond the block it handed back. Says so when the
// module's claim does not fit what it gave. `in_place`: the reply is the
// request's own block, which the contract allows.
std::size_t readable_reply_length(const ModuleRecord* record, ModuleBlock reply, long reported,
                                  std::size_t request_length, bool in_place);

// Says so when a 32-bit entry took its own arguments off the stack.
void check_calling_convention(const ModuleRecord* record, const char* entry, int removed);

// Says that the reply lies in static data or on the stack, not in a block.
void warn_about_foreign_reply(const ModuleRecord* record, ReplyPlace place);
// The words of that warning that name it, whatever the place.
extern const char kForeignReplyWords[];
