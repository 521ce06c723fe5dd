// The fuzz check: mutated requests for the whole fuzz time, a fresh host
// after each fault, every distinct fault kept with a reproducer of its own.

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "validate/check_host.h"
#include "validate/finding_file.h"
#include "validate/status_line.h"
#include "validate/validate_checks.h"

namespace {

using Clock = std::chrono::steady_clock;

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
// Distinct faults kept, each shrunk in fresh processes: a module that
// faults everywhere would otherwise take the run's whole time shrinking.
constexpr std::size_t kMostFaultsKept = 8;

double seconds_now() {
  return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

FuzzOrder fuzz_order(const ModuleUnderTest& module, std::uint64_t seed, double seconds) {
  FuzzOrder order;
  order.module = module.name;
  order.seed = seed;
  order.milliseconds = static_cast<std::uint64_t>(seconds * 1000);
  order.most_requests = ~std::uint64_t{0};
  order.max_length = kFuzzMaxLength;
  order.seeds = unfaulted_seeds(module);
  if (order.seeds.empty()) order.seeds = module.seeds;
  order.words = module.words;
  order.avoid = module.faulted;
  return order;
}

// A fault the loop met, and how often.
struct MetFault {
  FaultKind fault;
  std::string request;
  bool request_known = false;
  std::uint64_t times = 0;
};

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

// One fault's fields: its words, what and where, and its reproducer.
std::vector<CheckResult::Field> describe_met_fault(const ValidateSettings& settings,
                                                   ModuleUnderTest& module, const MetFault& met,
                                                   std::vector<FaultMet>& more) {
  CheckResult part;
  part.find(describe_fault(met.fault, settings) + " in request");
  part.text("message", part.message);
  describe_fault_identity(met.fault, part);
  if (met.times > 1) part.number("times", static_cast<double>(met.times));
  if (!met.request_known) {
    part.text("reproduce", "none: the host did not say which request");
    return part.fields;
  }
  report_faulting_request(part, settings, module, "fuzz", met.request, met.fault, &more);
  return part.fields;
}

}  // namespace

void start_fuzz(const ValidateSettings& settings, ModuleUnderTest& module) {
  if (settings.in_process) return;
  auto host = std::make_shared<ModuleHost>();
  std::string why;
  double before = seconds_now();
  // Every fuzzing host is quiet: the report gives each fault it meets, and
  // a fault the checks before meet too would be told twice.
  if (!start_check_host(*host, settings, module.name, why, true)) return;
  module.fuzz_slice =
      std::max(kShortestSliceSeconds, kSliceToStartRatio * (seconds_now() - before));
  double slice = std::min(module.fuzz_slice, settings.fuzz_seconds);
  if (!host->send_fuzz(fuzz_order(module, settings.seed, slice))) return;
  module.fuzz_host = host;
  module.fuzz_started = seconds_now();
}

CheckResult check_fuzz(const ValidateSettings& settings, ModuleUnderTest& module) {
  CheckResult result = skipped_unbound(module);
  if (!module.bound) return result;
  std::shared_ptr<ModuleHost> host = std::move(module.fuzz_host);
  double sent_at = module.fuzz_started;
  double slice = std::min(module.fuzz_slice, settings.fuzz_seconds);
  if (host != nullptr) result.seconds_before_turn = seconds_now() - sent_at;
  if (host == nullptr) {
    host = std::make_shared<ModuleHost>();
    double before = seconds_now();
    std::string why;
    if (!start_check_host(*host, settings, module.name, why, true)) {
      result.find(why);
      return result;
    }
    sent_at = seconds_now();
    module.fuzz_slice = std::max(kShortestSliceSeconds, kSliceToStartRatio * (sent_at - before));
    slice = std::min(module.fuzz_slice, settings.fuzz_seconds);
    host->send_fuzz(fuzz_order(module, settings.seed, slice));
  }
  // The time is the loops' own: a host that waited for its check to come
  // round, idle, does not spend it.
  double spent = 0;
  std::vector<MetFault> met;
  std::uint64_t requests = 0;
  std::uint64_t restarts = 0;
  std::uint64_t faults = 0;
  StatusLine status(!settings.quiet);
  for (;;) {
    FuzzResult fuzzed;
    if (host->await_fuzz(answer_seconds(settings, std::max(0.0, sent_at + slice - seconds_now())),
                         fuzzed)) {
      requests += fuzzed.requests;
      spent += static_cast<double>(fuzzed.milliseconds) / 1000;
      host->stop(answer_seconds(settings));
      if (note_warnings(host->warnings(), result, module, fuzzed.warned_request) || fuzzed.warned) {
        break;
      }
    } else {
      // In one process the first fault has ended the run already.
      spent += std::min(slice, seconds_now() - sent_at);
      FaultKind fault = fault_kind(*host);
      FaultReport report;
      if (host->fault_report(report)) requests += report.loop_requests;
      std::string request;
      bool request_known = host->request_at_fault(request);
      note_fault(met, fault, request, request_known);
      if (request_known) module.faulted.push_back(request);
      ++faults;
    }
    char progress[160];
    std::snprintf(progress, sizeof progress,
                  "modtest: %.60s: fuzz, %.1f s of %g s, %llu requests, %llu faults (%zu distinct)",
                  module.name.c_str(), spent, settings.fuzz_seconds,
                  static_cast<unsigned long long>(requests),
                  static_cast<unsigned long long>(faults), met.size());
    status.show(progress);
    double left = settings.fuzz_seconds - spent;
    if (left < kLeastSecondsForAHost) break;
    host = std::make_shared<ModuleHost>();
    std::string why;
    double before = seconds_now();
    if (!start_check_host(*host, settings, module.name, why, true)) break;
    // A start's time is the fuzz time's too, or a module that faults on
    // every other request would make the check last many times as long.
    spent += seconds_now() - before;
    ++restarts;
    // Another seed for each host, so that none walks the same path again.
    std::uint64_t seed = settings.seed + restarts * 0x9E3779B97F4A7C15ull;
    slice = std::min(module.fuzz_slice, left);
    sent_at = seconds_now();
    host->send_fuzz(fuzz_order(module, seed, slice));
  }
  status.clear();
  result.number("seed", static_cast<double>(settings.seed));
  result.number("requests", static_cast<double>(requests));
  result.number("seconds", spent);
  result.number("restarts", static_cast<double>(restarts));
  if (!module.words.empty()) {
    result.number("dictionary_words", static_cast<double>(module.words.size()));
  }
  if (met.empty()) return result;
  // Shrinking comes after the fuzz time, so that it takes none of it; a
  // fault met while shrinking is one more in its own right.
  std::vector<FaultMet> more;
  std::vector<std::vector<CheckResult::Field>> described;
  for (std::size_t index = 0; index < met.size() && described.size() < kMostFaultsKept; ++index) {
    described.push_back(describe_met_fault(settings, module, met[index], more));
    for (const FaultMet& extra : more) note_fault(met, extra.fault, extra.request, true);
    more.clear();
  }
  result.find(describe_fault(met.front().fault, settings) + " in request");
  if (described.size() > 1) {
    result.message += ", and " + std::to_string(described.size() - 1) +
                      (described.size() == 2 ? " other distinct fault" : " other distinct faults");
  }
  for (CheckResult::Field& field : described.front()) {
    if (field.key != "message") result.fields.push_back(field);
  }
  result.list_key = "other_faults";
  result.list.assign(described.begin() + 1, described.end());
  return result;
}
