#include "validate/check_host.h"

#include <cstdio>

#include "run_terms/exit_code.h"

namespace {

// A child's start and its bind: under Wine a start alone may take a second.
constexpr double kStartSeconds = 20;
// What a child gets beyond the call's own time to say that a call is over.
constexpr double kReportGraceSeconds = 5;

}  // namespace

void CheckResult::number(const std::string& key, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.15g", value);
  fields.push_back({key, text, false});
}

void CheckResult::text(const std::string& key, const std::string& value) {
  fields.push_back({key, value, true});
}

FaultKind fault_kind(const ModuleHost& host) {
  const HostEnd& end = host.end();
  FaultKind fault;
  fault.kind = end.kind;
  fault.code = end.kind == HostEnd::kExited || end.kind == HostEnd::kSignalled ? end.code : 0;
  FaultReport report;
  if (host.fault_report(report)) {
    fault.identity.code = report.code;
    fault.identity.place = report.place;
    fault.has_data_address = report.has_data_address;
    fault.data_address = report.data_address;
    fault.guard_words = report.guard_words;
  }
  return fault;
}

void describe_fault_identity(const FaultKind& fault, CheckResult& result) {
  std::string code = name_fault_code(fault.identity.code);
  if (!code.empty()) result.text("fault", code);
  if (!fault.identity.place.empty()) result.text("at", fault.identity.place);
  if (!fault.guard_words.empty()) result.text("memory_error", fault.guard_words);
  if (fault.has_data_address) {
    char address[24];
    std::snprintf(address, sizeof address, "0x%llx",
                  static_cast<unsigned long long>(fault.data_address));
    result.text("data_address", address);
  }
}

std::string describe_fault_fully(const FaultKind& fault, const ValidateSettings& settings) {
  std::string words = describe_fault(fault, settings);
  std::string code = name_fault_code(fault.identity.code);
  if (code.empty() && fault.identity.place.empty()) return words;
  words += " (" + code;
  if (!fault.identity.place.empty())
    words += (code.empty() ? "at " : " at ") + fault.identity.place;
  return words + ")";
}

std::string describe_fault_in_request(const FaultKind& fault, const ValidateSettings& settings) {
  std::string words = describe_fault(fault, settings) + " in request";
  return fault.guard_words.empty() ? words : words + ": " + fault.guard_words;
}

bool is_hang(const FaultKind& fault) {
  return (fault.kind == HostEnd::kExited && fault.code == kExitModuleTimedOut) ||
         fault.kind == HostEnd::kNoAnswer;
}

std::string describe_fault(const FaultKind& fault, const ValidateSettings& settings) {
  if (fault.kind == HostEnd::kExited) {
    switch (fault.code) {
      case kExitModuleCrashed:
        return "crashed";
      case kExitModuleTimedOut:
        return "did not return within " + settings.call_seconds_text + " s";
      case kExitModuleEndedProcess:
        return "ended the process";
    }
  }
  HostEnd end;
  end.kind = fault.kind;
  end.code = fault.code;
  end.seconds = answer_seconds(settings);
  return "ended its host, which " + describe_host_end(end);
}

double answer_seconds(const ValidateSettings& settings, double work_seconds) {
  // A loop of calls is watched a quarter of the call's time late at most.
  return work_seconds + settings.call_seconds * 1.25 + kReportGraceSeconds;
}

bool start_unbound_host(ModuleHost& host, const ValidateSettings& settings, bool quiet) {
  return settings.in_process ? host.start_in_process(settings.directory) : host.start("", quiet);
}

unsigned guard_share(const ValidateSettings& settings, unsigned share) {
  return settings.guard ? share : 0;
}

bool start_check_host(ModuleHost& host, const ValidateSettings& settings, const std::string& module,
                      std::string& why, bool quiet, unsigned guard) {
  if (!start_unbound_host(host, settings, quiet)) {
    why = "the host process could not be started";
    return false;
  }
  if (guard != 0 && !host.guard(guard, kStartSeconds)) {
    why = "the host " + describe_host_end(host.end()) + " when asked to guard its heap";
    return false;
  }
  std::vector<BoundModule> modules;
  // The bind check's host has said the binding lines: the others do not.
  if (!host.bind(kStartSeconds + answer_seconds(settings), modules, module, true)) {
    why = "binding it " + describe_fault(fault_kind(host), settings);
    return false;
  }
  for (const BoundModule& bound : modules) {
    if (bound.name == module && bound.bound) return true;
  }
  why = "it did not bind";
  return false;
}

CheckResult skipped_unbound(const ModuleUnderTest& module) {
  CheckResult result;
  if (!module.bound) result.skip("the module did not bind");
  return result;
}

bool start_or_find(ModuleHost& host, const ValidateSettings& settings,
                   const ModuleUnderTest& module, CheckResult& result, unsigned guard) {
  std::string why;
  // Once a request made the module fault, its line is on standard error:
  // the hosts after it are quiet, and the report gives what they meet.
  if (start_check_host(host, settings, module.name, why, !module.faulted.empty(), guard)) {
    return true;
  }
  result.find(why);
  return false;
}
