#include <chrono>
#include <cstdio>
#include <string>

#include "run_terms/exit_code.h"
#include "validate/check_host.h"
#include "validate/finding_file.h"
#include "validate/request_seeds.h"
#include "validate/status_line.h"
#include "validate/validate_checks.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kSlowLoadSeconds = 2;
// The leak check's request and how long it goes on.
constexpr std::size_t kLeakRequestBytes = 1024;
constexpr std::uint64_t kLeakRequests = 10000;
constexpr double kLeakSeconds = 10;
// Sends before the first measurement: what a module sets up on its first
// requests is no leak.
constexpr std::uint64_t kLeakWarmUp = 100;
// Fewer measured requests than this tell no leak from noise: a slow
// module's growth would be below both limits whatever it leaks.
constexpr std::uint64_t kLeakLeastRequests = 1000;
// Growth below either is noise: the allocator's own, or a cache filling.
constexpr double kLeakBytes = 1024 * 1024;
constexpr double kLeakBytesPerRequest = 64;

double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

CheckResult check_bind(const ValidateSettings& settings, ModuleUnderTest& module) {
  CheckResult result;
  module.bound = false;
  ModuleHost host;
  bool started = start_unbound_host(host, settings);
  std::uint64_t resident = 0;
  std::uint64_t peak = 0;
  // The host answers once it runs: the bind's time is then the module's alone.
  if (!started || !host.memory(answer_seconds(settings) + 20, resident, peak)) {
    result.find("the host process could not be started");
    return result;
  }
  std::vector<BoundModule> modules;
  Clock::time_point start = Clock::now();
  bool answered = host.bind(answer_seconds(settings), modules, module.name, settings.quiet);
  double seconds = seconds_since(start);
  result.number("load_seconds", seconds);
  if (!answered) {
    result.find(describe_fault(fault_kind(host), settings) + " while it was bound");
    return result;
  }
  for (const BoundModule& bound : modules) module.bound = module.bound || bound.bound;
  std::string why;
  if (!module.bound) why = host.warnings().empty() ? "did not bind" : host.warnings().front();
  if (seconds > kSlowLoadSeconds) {
    result.find("took longer than 2 s to load" + (why.empty() ? "" : "; it then " + why));
  } else if (!module.bound) {
    result.find(why);
  }
  host.stop(answer_seconds(settings));
  return result;
}

CheckResult check_leak(const ValidateSettings& settings, ModuleUnderTest& module) {
  CheckResult result = skipped_unbound(module);
  ModuleHost host;
  if (!module.bound || !start_or_find(host, settings, module, result)) return result;
  RepeatOrder order;
  order.module = module.name;
  order.request = long_request(unfaulted_seeds(module), kLeakRequestBytes);
  order.count = kLeakRequests;
  order.milliseconds = static_cast<std::uint64_t>(kLeakSeconds * 1000);
  order.warm_up = kLeakWarmUp;
  RepeatResult repeated;
  StatusLine status(!settings.quiet);
  auto show = [&](double seconds) {
    char progress[128];
    std::snprintf(progress, sizeof progress, "modtest: %.60s: leak, %.1f s of at most %g s",
                  module.name.c_str(), seconds, kLeakSeconds);
    status.show(progress);
  };
  bool answered = host.repeat(order, answer_seconds(settings, kLeakSeconds * 1.1), repeated, show);
  status.clear();
  if (!answered) {
    FaultKind fault = fault_kind(host);
    result.find(describe_fault(fault, settings) + " in request");
    report_faulting_request(result, settings, module, "leak", order.request, fault);
    return result;
  }
  CheckResult named_elsewhere;
  note_warnings(host.warnings(), named_elsewhere, module, order.request);
  double growth = static_cast<double>(repeated.after) - static_cast<double>(repeated.before);
  double per_request = repeated.requests != 0 ? growth / static_cast<double>(repeated.requests) : 0;
  result.number("requests", static_cast<double>(repeated.requests));
  result.number("seconds", static_cast<double>(repeated.milliseconds) / 1000);
  result.text("measured", repeated.source);
  result.number("before_bytes", static_cast<double>(repeated.before));
  result.number("after_bytes", static_cast<double>(repeated.after));
  result.number("growth_per_request", per_request);
  if (repeated.requests < kLeakLeastRequests) {
    result.skip("only " + std::to_string(repeated.requests) +
                " requests were measured, too few to tell a leak (1000 at least)");
  } else if (growth >= kLeakBytes && per_request >= kLeakBytesPerRequest) {
    char text[96];
    std::snprintf(text, sizeof text, "memory grew by %.0f bytes per request", per_request);
    result.find(text);
  }
  host.stop(answer_seconds(settings));
  return result;
}

CheckResult check_release(const ValidateSettings& settings, ModuleUnderTest& module) {
  CheckResult result = skipped_unbound(module);
  ModuleHost host;
  if (!module.bound || !start_or_find(host, settings, module, result)) return result;
  // A module that starts its thread or timer on its first request has one now.
  std::vector<std::string> seeds = unfaulted_seeds(module);
  const std::string& request = seeds.empty() ? std::string() : seeds.front();
  if (host.request(module.name, request, answer_seconds(settings)).kind == HostReply::kEnded) {
    result.find(describe_fault(fault_kind(host), settings) + " in request");
    return result;
  }
  if (!host.unload(answer_seconds(settings))) {
    result.find(describe_fault(fault_kind(host), settings) +
                " in unload or while its library was released");
    return result;
  }
  if (!host.release(answer_seconds(settings, 0.5))) {
    FaultKind fault = fault_kind(host);
    bool crashed = fault.kind == HostEnd::kExited && fault.code == kExitModuleCrashed;
    module.faults_after_release = true;
    result.find(crashed ? "crashed after its library was released: a thread or timer of the module "
                          "was still running"
                        : describe_fault(fault, settings) + " after its library was released");
    return result;
  }
  result.number("seconds_waited", 0.5);
  host.stop(answer_seconds(settings));
  return result;
}

CheckResult check_reload(const ValidateSettings& settings, ModuleUnderTest& module) {
  CheckResult result = skipped_unbound(module);
  // Whatever of the first life still runs after its release would fault in
  // the second, or between the two: the release check's finding, not a
  // second life's.
  if (module.bound && module.faults_after_release) {
    result.skip("it faults after its library is released (the release check's finding)");
    return result;
  }
  ModuleHost host;
  if (!module.bound || !start_or_find(host, settings, module, result, guard_share(settings)))
    return result;
  std::vector<std::string> seeds = unfaulted_seeds(module);
  // The replies compared are to a request followed by NULs in its block, so
  // that a module that reads beyond the request gives the same reply twice.
  PaddedRequestOrder first{module.name, seeds.empty() ? std::string() : seeds.front(), '\0', 64};
  HostReply first_life = host.padded_request(first, answer_seconds(settings));
  std::vector<BoundModule> modules;
  bool second = first_life.kind != HostReply::kEnded && host.unload(answer_seconds(settings)) &&
                host.bind(answer_seconds(settings), modules, module.name, true);
  if (!second) {
    result.find(describe_fault(fault_kind(host), settings) + " before its second life began");
    return result;
  }
  bool bound_again = !modules.empty() && modules.front().bound;
  if (!bound_again) {
    result.find("did not load again in the same process after its unload and release" +
                (host.warnings().empty() ? std::string() : ": " + host.warnings().front()));
    return result;
  }
  std::size_t sent = 0;
  for (const std::string& seed : seeds) {
    HostReply reply = host.padded_request({module.name, seed, '\0', 64}, answer_seconds(settings));
    ++sent;
    if (reply.kind == HostReply::kEnded) {
      result.find(describe_fault(fault_kind(host), settings) + " in request in its second life");
      result.text("request", seed);
      return result;
    }
    CheckResult named_elsewhere;
    note_warnings(host.warnings(), named_elsewhere, module, seed);
    if (sent == 1 && module.repeatable && reply.kind == HostReply::kReply &&
        first_life.kind == HostReply::kReply && reply.bytes != first_life.bytes) {
      result.find("gave a different first reply in its second life than in its first");
      result.text("request", seed);
      result.text("first_life_reply", first_life.bytes);
      result.text("second_life_reply", reply.bytes);
    }
  }
  if (!host.unload(answer_seconds(settings))) {
    result.find(describe_fault(fault_kind(host), settings) + " in its second unload");
    return result;
  }
  result.number("requests", static_cast<double>(sent));
  host.stop(answer_seconds(settings));
  return result;
}

const std::vector<ValidateCheck>& validate_checks() {
  static const std::vector<ValidateCheck> checks = {
      {"bind", check_bind},
      {"requests", check_requests},
      {"long-requests", check_long_requests},
      {"fuzz", check_fuzz},
      {"request-bounds", check_request_bounds},
      {"reply-blocks", check_reply_blocks},
      {"leak", check_leak},
      {"release", check_release},
      {"reload", check_reload},
  };
  return checks;
}
