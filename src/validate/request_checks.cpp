#include <algorithm>
#include <cstring>

#include "modules/reply_checks.h"
#include "validate/check_host.h"
#include "validate/finding_file.h"
#include "validate/request_seeds.h"
#include "validate/validate_checks.h"

namespace {

constexpr std::size_t kLongRequestSizes[] = {4 * 1024, 64 * 1024, 1024 * 1024};
// The request-bounds check's bytes after the request, and what they are
// when they are not NULs.
constexpr std::size_t kBoundsPadding = 64;
constexpr char kBoundsFill = 'x';
bool is_foreign_reply(const std::string& warning) {
  return warning.find(kForeignReplyWords) != std::string::npos;
}

// A request that ended the host: the finding, shrunk and kept.
void find_fault(CheckResult& result, const ValidateSettings& settings, ModuleUnderTest& module,
                const char* check, const ModuleHost& host, const std::string& request) {
  FaultKind fault = fault_kind(host);
  result.find(describe_fault_in_request(fault, settings));
  describe_fault_identity(fault, result);
  report_faulting_request(result, settings, module, check, request, fault);
}

// Sends each request in turn to a host. A request that ends the host is
// the finding, the first one shrunk and kept; the rest are still sent, each
// fault counted, so that the checks after this one leave every faulting
// request out.
CheckResult send_each(const ValidateSettings& settings, ModuleUnderTest& module, const char* check,
                      const std::vector<std::string>& requests, bool keep_first_reply) {
  CheckResult result = skipped_unbound(module);
  if (!module.bound) return result;
  ModuleHost host;
  std::string why;
  std::size_t sent = 0;
  std::size_t faults = 0;
  for (const std::string& request : requests) {
    // A host after a fault is quiet: the first fault's line is on standard
    // error, and the report gives the rest.
    bool quiet = faults > 0 || !module.faulted.empty();
    if (!host.running() &&
        !start_check_host(host, settings, module.name, why, quiet, guard_share(settings))) {
      if (result.outcome != CheckResult::kFinding) result.find(why);
      break;
    }
    HostReply reply = host.request(module.name, request, answer_seconds(settings));
    ++sent;
    if (reply.kind == HostReply::kEnded) {
      // In one process the first fault has ended the run already.
      if (++faults == 1) {
        find_fault(result, settings, module, check, host, request);
      } else {
        module.faulted.push_back(request);
      }
      continue;
    }
    if (reply.kind == HostReply::kRefused) {
      if (result.outcome != CheckResult::kFinding) {
        result.find(std::string("got no answer: ") + refusal_text(reply.refusal));
      }
      break;
    }
    if (keep_first_reply && !module.has_first_reply) {
      module.first_reply = reply.bytes;
      module.has_first_reply = true;
    }
    note_warnings(host.warnings(), result, module, request);
  }
  result.number("requests", static_cast<double>(sent));
  if (faults > 1) result.number("requests_that_faulted", static_cast<double>(faults));
  return result;
}

}  // namespace

std::vector<std::string> unfaulted_seeds(const ModuleUnderTest& module) {
  std::vector<std::string> seeds;
  for (const std::string& seed : module.seeds) {
    if (std::find(module.faulted.begin(), module.faulted.end(), seed) == module.faulted.end()) {
      seeds.push_back(seed);
    }
  }
  return seeds;
}

namespace {

// The words of a warning with each run of digits as one '#': warnings that
// differ only in a number are one kind.
std::string warning_kind(const std::string& warning) {
  std::string kind;
  for (std::size_t at = 0; at < warning.size(); ++at) {
    bool digit = warning[at] >= '0' && warning[at] <= '9';
    if (!digit) {
      kind.push_back(warning[at]);
    } else if (kind.empty() || kind.back() != '#') {
      kind.push_back('#');
    }
  }
  return kind;
}

void tally_warning(ModuleUnderTest& module, const std::string& warning) {
  std::string kind = warning_kind(warning);
  for (ModuleUnderTest::ToldWarning& told : module.told) {
    if (told.kind == kind) {
      ++told.times;
      return;
    }
  }
  module.told.push_back({kind, warning, 1});
}

}  // namespace

bool note_warnings(const std::vector<std::string>& warnings, CheckResult& result,
                   ModuleUnderTest& module, const std::string& request) {
  bool found = false;
  for (const std::string& warning : warnings) {
    tally_warning(module, warning);
    if (is_foreign_reply(warning)) {
      if (module.foreign_replies.empty()) module.foreign_replies.push_back(warning);
    } else if (std::find(module.warned.begin(), module.warned.end(), warning) !=
               module.warned.end()) {
      // Found by an earlier check: a warning every request earns is one finding.
    } else if (result.outcome != CheckResult::kFinding) {
      module.warned.push_back(warning);
      result.find(warning);
      result.text("request", request.size() <= 200 ? request : request.substr(0, 200));
      found = true;
    }
  }
  return found;
}

CheckResult check_requests(const ValidateSettings& settings, ModuleUnderTest& module) {
  return send_each(settings, module, "requests", module.seeds, true);
}

CheckResult check_long_requests(const ValidateSettings& settings, ModuleUnderTest& module) {
  std::vector<std::string> requests;
  std::vector<std::string> seeds = unfaulted_seeds(module);
  for (std::size_t size : kLongRequestSizes) {
    requests.push_back(long_request(seeds, size));
    requests.push_back(long_request(seeds, size, true));
    std::string grown = grown_value_request(seeds, size);
    if (!grown.empty()) requests.push_back(grown);
  }
  return send_each(settings, module, "long-requests", requests, false);
}

CheckResult check_request_bounds(const ValidateSettings& settings, ModuleUnderTest& module) {
  CheckResult result = skipped_unbound(module);
  if (!module.bound) return result;
  // Three hosts see NULs after each request and one other bytes. The three
  // tell whether this seed's reply repeats at all; the other bytes are sent
  // between two of them, so that a reply that follows a clock agrees before
  // and after them only if the clock stood still in between. In one process
  // there is one library to share: one host is sent all four.
  constexpr int kReplies = 4;
  ModuleHost hosts[kReplies];
  const int host_count = settings.in_process ? 1 : kReplies;
  const char fills[kReplies] = {'\0', '\0', kBoundsFill, '\0'};
  for (int index = 0; index < host_count; ++index) {
    if (!start_or_find(hosts[index], settings, module, result, guard_share(settings))) {
      return result;
    }
  }
  std::size_t sent = 0;
  std::size_t unrepeatable = 0;
  std::string first_unrepeatable;
  for (const std::string& seed : unfaulted_seeds(module)) {
    std::string replies[kReplies];
    for (int index = 0; index < kReplies; ++index) {
      ModuleHost& host = hosts[index % host_count];
      PaddedRequestOrder order{module.name, seed, fills[index], kBoundsPadding};
      HostReply reply = host.padded_request(order, answer_seconds(settings));
      if (reply.kind == HostReply::kEnded) {
        find_fault(result, settings, module, "request-bounds", host, seed);
        return result;
      }
      // The requests check has named the contract's warnings already.
      CheckResult named_elsewhere;
      note_warnings(host.warnings(), named_elsewhere, module, seed);
      replies[index] = reply.bytes;
    }
    ++sent;
    // Such a seed says nothing of the bytes after it; the others still do.
    if (replies[0] != replies[1] || replies[0] != replies[3]) {
      if (sent == 1) module.repeatable = false;  // the reload check's seed
      if (++unrepeatable == 1) first_unrepeatable = seed;
      continue;
    }
    if (replies[0] != replies[2] && result.outcome != CheckResult::kFinding) {
      result.find(
          "reads beyond the request's length: its reply changed with the bytes after "
          "the request in its block");
      result.text("request", seed);
      result.text("reply_with_nul_bytes_after", replies[0]);
      result.text("reply_with_other_bytes_after", replies[2]);
    }
  }
  result.number("requests", static_cast<double>(sent));
  if (unrepeatable > 0) {
    result.number("not_repeatable", static_cast<double>(unrepeatable));
    result.text("first_not_repeatable", first_unrepeatable);
  }
  if (sent > 0 && unrepeatable == sent) {
    result.skip(
        "its replies are not repeatable: to no request did three fresh processes give the "
        "same reply");
  }
  return result;
}

CheckResult check_reply_blocks(const ValidateSettings&, ModuleUnderTest& module) {
  CheckResult result = skipped_unbound(module);
  if (!module.bound) return result;
  if (!module.foreign_replies.empty()) result.find(module.foreign_replies.front());
  return result;
}
