#include "host/host_loops.h"

#include <chrono>
#include <string>

#include "modules/module_probe_call.h"
#include "platform/fault_reporting.h"
#include "platform/process_memory.h"
#include "platform/sleep.h"
#include "validate/request_mutator.h"

namespace {

using Clock = std::chrono::steady_clock;

// The clock is read once every so many requests: reading it may cost more
// than a fast module's request.
constexpr std::uint64_t kRequestsBetweenClockReads = 256;

// Most requests of the loop differ from the one before by a byte changed in
// place; every so many the mutator makes a bigger change, or starts again
// from a seed. Its general mutation costs about twice a fast module's
// request, so it cannot pair with every one.
constexpr std::uint64_t kRequestsBetweenMutations = 32;

// The in-place change between the mutator's: one byte set to a random
// value, from a generator of a multiplication and an addition, seeded from
// the order so that the run repeats. Cheaper than the mutator's own choices.
class ByteNudge {
 public:
  explicit ByteNudge(std::uint64_t seed) : state_(seed ^ 0x9E3779B97F4A7C15ull) {}
  bool apply(std::string& request) {
    if (request.empty()) return false;
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    std::uint64_t position = ((state_ >> 32) * request.size()) >> 32;
    request[static_cast<std::size_t>(position)] = static_cast<char>(state_ >> 24);
    return true;
  }

 private:
  std::uint64_t state_;
};

std::uint64_t milliseconds_since(Clock::time_point start) {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

}  // namespace

FuzzResult run_fuzz_loop(HostState& state, ModuleRecord* record, const FuzzOrder& order) {
  FuzzResult result;
  RequestMutator mutator(order.seed, order.max_length != 0
                                         ? static_cast<std::size_t>(order.max_length)
                                         : RequestMutator::kDefaultMaxLength);
  std::string request = order.seeds.empty() ? std::string() : order.seeds.front();
  ByteNudge nudge(order.seed);
  ReplyPlaceMemo memo;
  init_reply_place_memo(&memo);
  Clock::time_point start = Clock::now();
  enter_module_call_loop(record->name, record->path, "request");
  while (result.requests < order.most_requests) {
    if (result.requests % kRequestsBetweenMutations == 0 || !nudge.apply(request)) {
      mutator.mutate(request, order.seeds);
    }
    set_request_in_call(request.data(), request.size());
    probe_module_request(record, request.data(), request.size(), &memo);
    count_module_call();
    ++result.requests;
    if (state.warnings_heard > state.foreign_replies_heard) {
      result.warned = true;
      result.warned_request = request;
      break;
    }
    if (result.requests % kRequestsBetweenClockReads == 0 &&
        milliseconds_since(start) >= order.milliseconds) {
      break;
    }
  }
  leave_module_call();
  set_request_in_call(nullptr, 0);
  result.milliseconds = milliseconds_since(start);
  return result;
}

RepeatResult run_repeat_loop(HostState& state, ModuleRecord* record, const RepeatOrder& order) {
  (void)state;
  RepeatResult result;
  ReplyPlaceMemo memo;
  init_reply_place_memo(&memo);
  set_request_in_call(order.request.data(), order.request.size());
  enter_module_call_loop(record->name, record->path, "request");
  for (std::uint64_t sent = 0; sent < order.warm_up; ++sent) {
    probe_module_request(record, order.request.data(), order.request.size(), &memo);
    count_module_call();
  }
  HeapUse before = get_heap_use();
  Clock::time_point start = Clock::now();
  while (result.requests < order.count) {
    probe_module_request(record, order.request.data(), order.request.size(), &memo);
    count_module_call();
    ++result.requests;
    if (result.requests % kRequestsBetweenClockReads == 0 &&
        milliseconds_since(start) >= order.milliseconds) {
      break;
    }
  }
  HeapUse after = get_heap_use();
  leave_module_call();
  set_request_in_call(nullptr, 0);
  result.milliseconds = milliseconds_since(start);
  result.before = before.bytes;
  result.after = after.bytes;
  result.source = after.source;
  return result;
}

void release_and_wait(HostState& state) {
  unload_host_modules(state);
  enter_module_call(state.released_name.c_str(), state.released_path.c_str(),
                    "the time after its library was released");
  sleep_milliseconds(kReleaseWaitMilliseconds);
  leave_module_call();
}
