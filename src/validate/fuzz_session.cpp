#include "validate/fuzz_session.h"

#include <algorithm>
#include <chrono>

#include "validate/check_host.h"
#include "validate/corpus_folder.h"
#include "validate/validate_checks.h"

namespace {

// Fuzzed requests reach this many bytes; most stay far shorter.
constexpr std::size_t kFuzzMaxLength = 64 * 1024;
// A module keeps state between requests, so that in one long-lived host a
// request can hide another's bug for good (a module that crashes on a
// command sent before its set-up never crashes once the set-up happened to
// go first). So each host fuzzes for a slice of the time, and a fresh one
// takes over: a slice of this long at least, and twenty times what a host
// takes to start, so that starting costs at most a twentieth of the time.
constexpr double kShortestSliceSeconds = 0.25;
constexpr double kSliceToStartRatio = 20;
// Below this much time left a fresh host is not worth its start.
constexpr double kLeastSecondsForAHost = 0.05;

std::vector<FuzzSession*> running;

FuzzOrder fuzz_order(const ModuleUnderTest& module, std::uint64_t seed, double seconds) {
  FuzzOrder order;
  order.module = module.name;
  order.seed = seed;
  order.milliseconds = static_cast<std::uint64_t>(seconds * 1000);
  order.most_requests = ~std::uint64_t{0};
  order.max_length = kFuzzMaxLength;
  order.seeds = unfaulted_seeds(module);
  if (order.seeds.empty()) order.seeds = module.seeds;
  for (const std::string& request : module.corpus) {
    if (std::find(module.faulted.begin(), module.faulted.end(), request) == module.faulted.end()) {
      order.seeds.push_back(request);
    }
  }
  order.words = module.words;
  order.avoid = module.faulted;
  return order;
}

}  // namespace

double fuzz_clock_seconds() {
  using Clock = std::chrono::steady_clock;
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

void note_fault(std::vector<MetFault>& met, const FaultKind& fault, const std::string& request,
                bool request_known) {
  for (MetFault& known : met) {
    if (known.fault == fault) {
      ++known.times;
      // The shortest request of a fault shrinks fastest.
      if (request_known && (!known.request_known || request.size() < known.request.size())) {
        known.request = request;
        known.request_known = true;
      }
      return;
    }
  }
  met.push_back({fault, request, request_known, 1});
}

namespace {

// A guarded request costs a few system calls, a thousand times a fast
// module's request: one host in this many fuzzes with the guard, every
// request of it guarded, so that the loop's rate stays near its own.
constexpr unsigned kGuardedHostEvery = 16;

}  // namespace

unsigned FuzzSession::next_host_guard() {
  return ++hosts_started_ % kGuardedHostEvery == 0 ? guard_share(settings_) : 0;
}

FuzzSession::FuzzSession(const ValidateSettings& settings, ModuleUnderTest& module)
    : settings_(settings), module_(module) {}

FuzzSession::~FuzzSession() {
  running.erase(std::remove(running.begin(), running.end(), this), running.end());
}

bool FuzzSession::start(std::string& why) {
  started_at = fuzz_clock_seconds();
  if (module_.corpus.empty()) {
    module_.corpus = load_corpus(module_.name);
    module_.corpus_kept = module_.corpus.size();
  }
  host_ = std::make_unique<ModuleHost>();
  // Every fuzzing host is quiet: the report gives each fault it meets, and
  // a fault the checks before meet too would be told twice.
  if (!start_check_host(*host_, settings_, module_.name, why, true, next_host_guard())) {
    done_ = true;
    return false;
  }
  slice_ =
      std::max(kShortestSliceSeconds, kSliceToStartRatio * (fuzz_clock_seconds() - started_at));
  order_seconds_ = std::min(slice_, settings_.fuzz_seconds);
  sent_at_ = fuzz_clock_seconds();
  host_->send_fuzz(fuzz_order(module_, settings_.seed, order_seconds_));
  running.push_back(this);
  if (order_seconds_ < settings_.fuzz_seconds) start_standby();
  return true;
}

void FuzzSession::start_standby() {
  standby_ = std::make_unique<ModuleHost>();
  std::string why;
  if (!start_check_host(*standby_, settings_, module_.name, why, true, next_host_guard()))
    standby_.reset();
}

bool FuzzSession::start_host() {
  double left = settings_.fuzz_seconds - spent;
  if (left < kLeastSecondsForAHost) return false;
  if (standby_ != nullptr && standby_->running()) {
    host_ = std::move(standby_);
  } else {
    host_ = std::make_unique<ModuleHost>();
    std::string why;
    double before = fuzz_clock_seconds();
    if (!start_check_host(*host_, settings_, module_.name, why, true, next_host_guard()))
      return false;
    // A start's time is the fuzz time's too, or a module that faults on
    // every other request would make the check last many times as long.
    spent += fuzz_clock_seconds() - before;
    left = settings_.fuzz_seconds - spent;
    if (left < kLeastSecondsForAHost) return false;
  }
  ++restarts;
  // Another seed for each host, so that none walks the same path again.
  std::uint64_t seed = settings_.seed + restarts * 0x9E3779B97F4A7C15ull;
  order_seconds_ = std::min(slice_, left);
  sent_at_ = fuzz_clock_seconds();
  host_->send_fuzz(fuzz_order(module_, seed, order_seconds_));
  if (order_seconds_ < left) start_standby();
  return true;
}

bool FuzzSession::step(double wait_seconds) {
  if (done_) return false;
  FuzzResult fuzzed;
  ModuleHost::Wait wait = host_->poll_fuzz(wait_seconds, fuzzed);
  if (wait == ModuleHost::Wait::kPending) {
    // Its own watchdog ends a call that does not return; a host past that
    // is given up.
    if (fuzz_clock_seconds() < sent_at_ + answer_seconds(settings_, order_seconds_)) return false;
    wait = host_->await_fuzz(0, fuzzed) ? ModuleHost::Wait::kAnswered : ModuleHost::Wait::kEnded;
  }
  take_corpus_entries();
  if (wait == ModuleHost::Wait::kAnswered) {
    module_.coverage = module_.coverage || fuzzed.coverage;
    module_.edges = std::max(module_.edges, fuzzed.edges);
    requests += fuzzed.requests;
    spent += static_cast<double>(fuzzed.milliseconds) / 1000;
    host_->stop(answer_seconds(settings_));
    warnings.insert(warnings.end(), host_->warnings().begin(), host_->warnings().end());
    if (fuzzed.warned) {
      warned_request = fuzzed.warned_request;
      done_ = true;
    }
  } else {
    // In one process the first fault has ended the run already.
    spent += std::min(order_seconds_, fuzz_clock_seconds() - sent_at_);
    FaultKind fault = fault_kind(*host_);
    FaultReport report;
    if (host_->fault_report(report)) requests += report.loop_requests;
    std::string request;
    bool request_known = host_->request_at_fault(request);
    note_fault(met, fault, request, request_known);
    if (request_known) module_.faulted.push_back(request);
    ++faults;
  }
  if (!done_ && !start_host()) done_ = true;
  if (done_) {
    host_.reset();
    standby_.reset();
    running.erase(std::remove(running.begin(), running.end(), this), running.end());
  }
  return true;
}

void FuzzSession::take_corpus_entries() {
  for (CorpusEntry& entry : host_->take_corpus_entries()) {
    module_.coverage = true;
    module_.edges = std::max(module_.edges, entry.edges);
    if (!entry.kept) continue;
    std::vector<std::string>& corpus = module_.corpus;
    // Another host may have kept the same request.
    if (std::find(corpus.begin(), corpus.end(), entry.request) == corpus.end()) {
      corpus.push_back(std::move(entry.request));
    }
  }
}

void look_after_fuzzing(double wait_seconds) {
  if (running.empty()) return;
  // A copy: a session that ends leaves the list as it goes.
  std::vector<FuzzSession*> sessions = running;
  // A wait under a millisecond would read nothing at all.
  double each = std::max(0.001, wait_seconds / static_cast<double>(sessions.size()));
  for (FuzzSession* session : sessions) session->step(each);
}
