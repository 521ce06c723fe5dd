#include "host/host_loops.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "fuzz_engine/request_mutator.h"
#include "host/coverage_feedback.h"
#include "modules/module_probe_call.h"
#include "platform/fault_reporting.h"
#include "platform/process_memory.h"
#include "platform/sleep.h"
#include "platform/standard_output.h"

namespace {

using Clock = std::chrono::steady_clock;

// Whether a loop's time is up, with the clock read about once a
// millisecond: reading it may cost more than a fast module's request, and a
// slow module's requests must not run far past the time.
class LoopClock {
 public:
  explicit LoopClock(std::uint64_t milliseconds)
      : start_(Clock::now()), last_(start_), limit_(std::chrono::milliseconds(milliseconds)) {}
  bool time_is_up() {
    if (++count_ < interval_) return false;
    count_ = 0;
    Clock::time_point now = Clock::now();
    auto since = now - last_;
    last_ = now;
    if (since < std::chrono::microseconds(500) && interval_ < kMostInterval) interval_ *= 2;
    if (since > std::chrono::milliseconds(2) && interval_ > 1) interval_ /= 2;
    return now - start_ >= limit_;
  }
  Clock::time_point start() const { return start_; }

 private:
  static constexpr std::uint64_t kMostInterval = 4096;
  Clock::time_point start_;
  Clock::time_point last_;
  Clock::duration limit_;
  std::uint64_t interval_ = 1;
  std::uint64_t count_ = 0;
};

// Between the mutator's requests come ones that are its last with one byte
// changed, and that byte put back after the call: each is one step from a
// well-formed request, rather than the drift of many. The mutator's own
// changes are what reach into a module, but one costs up to ten times a
// fast module's request; so it makes every request of a slow module, and
// one in as many as keep its time to about a fifth of the loop's for a
// fast one, one in 64 at most.
constexpr std::uint64_t kMostRequestsBetweenMutations = 64;
constexpr double kMutationShare = 0.1;
// A long request is sent once, not again with a byte changed: its copies
// would cost far more than the short requests most of the loop sends.
constexpr std::size_t kLongestNudged = 256;
// How many requests a measure of their cost takes.
constexpr std::uint64_t kCostWindow = 1024;
// With coverage, the operands of the comparisons are read after a request
// that reached new edges, and after one in this many others: reading
// them costs more than a fast module's request.
constexpr std::uint64_t kLearnInterval = 1024;

// What the mutator's change costs here, in nanoseconds: a few hundred
// changes of the order's own seeds, timed before the loop.
double mutation_nanoseconds(const FuzzOrder& order) {
  RequestMutator trial(order.seed ^ 0x5DEECE66Dull, 4096);
  trial.set_dictionary(&order.words);
  std::string request = order.seeds.empty() ? std::string() : order.seeds.front();
  constexpr int kTrials = 256;
  Clock::time_point start = Clock::now();
  for (int index = 0; index < kTrials; ++index) trial.mutate(request, order.seeds);
  return std::chrono::duration<double, std::nano>(Clock::now() - start).count() / kTrials;
}

// Of `window` requests that took `nanoseconds`, one in `between` the
// mutator's: the interval that gives the mutator its share of the time.
std::uint64_t interval_for(double nanoseconds, std::uint64_t window, std::uint64_t between,
                           double mutation) {
  double per_request = nanoseconds / static_cast<double>(window);
  double module_cost = per_request - mutation / static_cast<double>(between);
  if (module_cost <= 0) return kMostRequestsBetweenMutations;
  double wanted = mutation * (1 - kMutationShare) / (kMutationShare * module_cost);
  if (wanted <= 1) return 1;
  return wanted >= static_cast<double>(kMostRequestsBetweenMutations)
             ? kMostRequestsBetweenMutations
             : static_cast<std::uint64_t>(wanted) + 1;
}

// The one-byte change between the mutator's: a byte set to a random value,
// from a generator of a multiplication and an addition, seeded from the
// order so that the run repeats; undo() puts the byte back.
class ByteNudge {
 public:
  explicit ByteNudge(std::uint64_t seed) : state_(seed ^ 0x9E3779B97F4A7C15ull) {}
  bool apply(std::string& request) {
    if (request.empty()) return false;
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    position_ = static_cast<std::size_t>(((state_ >> 32) * request.size()) >> 32);
    was_ = request[position_];
    request[position_] = static_cast<char>(state_ >> 24);
    return true;
  }
  void undo(std::string& request) const { request[position_] = was_; }

 private:
  std::uint64_t state_;
  std::size_t position_ = 0;
  char was_ = 0;
};

// Requests known to fault are not sent again: a shallow bug found once
// would otherwise end every host the loop runs in. Looked up only when a
// request's length is one of theirs, which keeps the look-up off the
// common path.
class AvoidedRequests {
 public:
  explicit AvoidedRequests(const std::vector<std::string>& requests) : requests_(requests) {
    for (const std::string& request : requests) lengths_.insert(request.size());
  }
  bool avoids(const std::string& request) const {
    if (requests_.empty() || lengths_.count(request.size()) == 0) return false;
    return std::find(requests_.begin(), requests_.end(), request) != requests_.end();
  }

 private:
  const std::vector<std::string>& requests_;
  std::set<std::size_t> lengths_;
};

std::uint64_t milliseconds_since(Clock::time_point start) {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// Frames a loop sends before its answer: at once from a host process, so
// that a fault later in the loop loses none; in one process, with the
// answer. The write is outside the module call's bracket: a parent busy
// elsewhere leaves a full pipe, which is no hang of the module's.
void send_early(const HostState& state, const ModuleRecord* record, std::string& frames,
                std::string& answer) {
  if (frames.empty()) return;
  if (state.writes_frames_now) {
    leave_module_call();
    write_output_now(frames.data(), frames.size());
    enter_module_call_loop(record->name, record->path, "request");
  } else {
    answer += frames;
  }
  frames.clear();
}

}  // namespace

FuzzResult run_fuzz_loop(HostState& state, ModuleRecord* record, const FuzzOrder& order,
                         std::string& answer) {
  FuzzResult result;
  RequestMutator mutator(order.seed, order.max_length != 0
                                         ? static_cast<std::size_t>(order.max_length)
                                         : RequestMutator::kDefaultMaxLength);
  std::vector<std::string> words = order.words;
  mutator.set_dictionary(&words);
  CoverageFeedback coverage(record, order.seeds, words);
  const std::vector<std::string>& seeds = coverage.active() ? coverage.requests() : order.seeds;
  std::string frames;
  std::string request = order.seeds.empty() ? std::string() : order.seeds.front();
  ByteNudge nudge(order.seed);
  AvoidedRequests avoided(order.avoid);
  ReplyPlaceMemo memo;
  init_reply_place_memo(&memo);
  double mutation = mutation_nanoseconds(order);
  std::uint64_t between = 1;
  std::uint64_t since_mutation = 0;
  std::uint64_t window_start = 0;
  Clock::time_point window_time = Clock::now();
  LoopClock clock(order.milliseconds);
  watch_loop_request(&request, &result.requests);
  enter_module_call_loop(record->name, record->path, "request");
  // With coverage every seed is sent once first: what they reach is no
  // news, and the words of their comparisons are the first to learn.
  std::size_t replayed = coverage.active() ? 0 : order.seeds.size();
  while (result.requests < order.most_requests) {
    bool nudged = false;
    bool replaying = replayed < order.seeds.size();
    if (replaying) {
      request = order.seeds[replayed++];
    } else {
      nudged =
          ++since_mutation < between && request.size() <= kLongestNudged && nudge.apply(request);
      if (!nudged) {
        mutator.mutate(request, seeds);
        since_mutation = 0;
      }
    }
    if (!avoided.avoids(request)) {
      probe_module_request(record, request.data(), request.size(), &memo);
      count_module_call();
      ++result.requests;
      bool learn = replaying || result.requests % kLearnInterval == 0;
      if (coverage.active() && coverage.after_request(request, !replaying, learn, frames)) {
        mutator.set_dictionary(&words);
      }
    }
    if (replaying && replayed == order.seeds.size()) coverage.note_seeds_sent(frames);
    send_early(state, record, frames, answer);
    if (nudged) nudge.undo(request);
    if (state.warnings_heard > state.foreign_replies_heard) {
      result.warned = true;
      result.warned_request = request;
      break;
    }
    if (clock.time_is_up()) break;
    if (result.requests - window_start >= kCostWindow) {
      Clock::time_point now = Clock::now();
      double taken = std::chrono::duration<double, std::nano>(now - window_time).count();
      between = interval_for(taken, result.requests - window_start, between, mutation);
      window_start = result.requests;
      window_time = now;
    }
  }
  leave_module_call();
  watch_loop_request(nullptr, nullptr);
  result.milliseconds = milliseconds_since(clock.start());
  result.coverage = coverage.active();
  result.edges = coverage.edges();
  return result;
}

RepeatResult run_repeat_loop(HostState& state, ModuleRecord* record, const RepeatOrder& order) {
  (void)state;
  RepeatResult result;
  ReplyPlaceMemo memo;
  init_reply_place_memo(&memo);
  set_request_in_call(order.request.data(), order.request.size());
  enter_module_call_loop(record->name, record->path, "request");
  // A slow module's warm-up takes a tenth of the time at most.
  LoopClock warm_up_clock(order.milliseconds / 10);
  for (std::uint64_t sent = 0; sent < order.warm_up; ++sent) {
    probe_module_request(record, order.request.data(), order.request.size(), &memo);
    count_module_call();
    if (warm_up_clock.time_is_up()) break;
  }
  HeapUse before = get_heap_use();
  LoopClock clock(order.milliseconds);
  while (result.requests < order.count) {
    probe_module_request(record, order.request.data(), order.request.size(), &memo);
    count_module_call();
    ++result.requests;
    if (clock.time_is_up()) break;
  }
  HeapUse after = get_heap_use();
  leave_module_call();
  set_request_in_call(nullptr, 0);
  result.milliseconds = milliseconds_since(clock.start());
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
