#include "modules/module_probe_call.h"

#include <cstring>

#include "modules/guarded_blocks.h"
#include "modules/module_warning.h"
#include "modules/reply_checks.h"
#include "platform/library.h"
#include "platform/module_block.h"

namespace {

ReplyPlace place_of(const void* reply, ReplyPlaceMemo* memo) {
  for (const void* known : memo->heap) {
    if (known == reply) return ReplyPlace::kMayBeBlock;
  }
  ReplyPlace place = locate_reply(reply);
  if (place == ReplyPlace::kMayBeBlock) {
    memo->heap[memo->next] = reply;
    memo->next = (memo->next + 1) % ReplyPlaceMemo::kSize;
  }
  return place;
}

}  // namespace

void init_reply_place_memo(ReplyPlaceMemo* memo) {
  std::memset(memo, 0, sizeof *memo);
}

int probe_module_request(ModuleRecord* record, const char* request, std::size_t length,
                         ReplyPlaceMemo* memo) {
  guard_next_request();
  ModuleBlock block = alloc_host_block(length == 0 ? 1 : length, BlockOwner::kRequest);
  if (block == nullptr) return 0;
  std::memcpy(lock_any_block(block), request, length);
  long reply_length = static_cast<long>(length);
  int removed = 0;
  ModuleBlock reply = call_request_entry(record->request_entry, block, &reply_length, &removed);
  if (removed != 0) check_calling_convention(record, "request", removed);
  if (reply == nullptr) {
    warn_about_module(record, "returned no reply block from request; the reply is empty");
    return 1;
  }
  ReplyPlace place = place_of(reply, memo);
  if (place != ReplyPlace::kMayBeBlock) {
    claimed_reply_length(record, reply_length);
    warn_about_foreign_reply(record, place);
    return 1;
  }
  if (lock_any_block(reply) != nullptr) {
    readable_reply_length(record, reply, reply_length, length, reply == block);
  }
  free_any_block(reply);
  return 1;
}
