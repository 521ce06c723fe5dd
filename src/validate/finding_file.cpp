#include "validate/finding_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "check/cases_file.h"
#include "check/cases_update.h"
#include "fuzz_engine/request_shrinker.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "validate/validate_checks.h"

namespace {

constexpr const char kFindingsFolder[] = "modtest-findings";
// Every try starts a process: tens of milliseconds, and more under Wine.
constexpr std::size_t kMostShrinkTries = 300;
constexpr double kShrinkSeconds = 30;
// A hang is tried with a watchdog of this many seconds, so that the tries
// of a shrink do not each take the whole call time.
constexpr const char kHangShrinkTimeout[] = "1";

std::string findings_stem(const std::string& module, const char* check) {
  return std::string(kFindingsFolder) + "/" + file_name_part(module) + "-" + check + "-";
}

// A finding file's first line up to its check: the fault in the same words
// is the same fault.
std::string finding_heading(const ValidateSettings& settings, const std::string& module,
                            const FaultKind& fault) {
  return "# modtest --validate: module " + module + " " + describe_fault_fully(fault, settings) +
         " in request (";
}

// The command that replays the finding file `path`. A tool named with a
// blank is quoted, so that a shell takes it as one word.
std::string replay_command(const ValidateSettings& settings, const FaultKind& fault,
                           const std::string& path) {
  bool blank = settings.tool.find_first_of(" \t") != std::string::npos;
  std::string command = (blank ? "\"" + settings.tool + "\"" : settings.tool) + " --check " + path;
  // Replayed with the guarded heap the finding was made with.
  if (settings.guard) command += " --guard";
  if (is_hang(fault)) command = "MODTEST_TIMEOUT=" + settings.call_seconds_text + " " + command;
  return command;
}

std::string first_line(const std::string& path) {
  std::string line;
  std::FILE* file = open_binary_file(path.c_str());
  if (file == nullptr) return line;
  for (int byte = std::fgetc(file); byte != EOF && byte != '\n'; byte = std::fgetc(file)) {
    line.push_back(static_cast<char>(byte));
  }
  std::fclose(file);
  return line;
}

// Whether the finding file `path` holds `request` for `module` as its case,
// read as --check reads it, so that any way of writing the bytes counts.
bool holds_request(const std::string& path, const std::string& module, const std::string& request) {
  CasesFile file;
  std::vector<std::string> errors;
  if (read_cases_file(path, file, errors) != kCasesRead) return false;
  const CheckCase& first = file.cases.front();
  return file.modules[first.module] == module && file.view(first, first.request) == request;
}

// A file of an earlier run, of any check, that keeps this very finding; ""
// for none. Files are numbered from 1 with no gap that a run leaves, so the
// first number with no file ends a check's files.
std::string find_kept_file(const ValidateSettings& settings, const std::string& module,
                           const std::string& request, const FaultKind& fault) {
  std::string heading = finding_heading(settings, module, fault);
  for (const ValidateCheck& check : validate_checks()) {
    std::string stem = findings_stem(module, check.name);
    for (unsigned number = 1; number < 100000; ++number) {
      std::string path = stem + std::to_string(number) + ".txt";
      std::FILE* file = open_binary_file(path.c_str());
      if (file == nullptr) break;
      std::fclose(file);
      if (first_line(path).rfind(heading, 0) == 0 && holds_request(path, module, request)) {
        return path;
      }
    }
  }
  return "";
}

// Sends each candidate to a host kept alive for as long as candidates do
// not end it: a module that survives a candidate needs no new process.
class ShrinkTrial {
 public:
  ShrinkTrial(const ValidateSettings& settings, const std::string& module, FaultKind fault,
              std::vector<FaultMet>* others)
      : settings_(settings), module_(module), fault_(fault), others_(others) {}

  bool faults(const std::string& candidate) {
    std::string why;
    // Quiet: a shrink's tries fault again and again, and the report says
    // what they found.
    if (!host_.running() &&
        !start_check_host(host_, settings_, module_, why, true, guard_share(settings_))) {
      return false;
    }
    HostReply reply = host_.request(module_, candidate, answer_seconds(settings_));
    if (reply.kind != HostReply::kEnded) return false;
    // A hang shrinks under a shorter watchdog: any hang counts.
    FaultKind got = fault_kind(host_);
    if (got == fault_ || (is_hang(fault_) && is_hang(got))) return true;
    if (others_ != nullptr && !is_hang(got)) note_other(got, candidate);
    return false;
  }

 private:
  void note_other(const FaultKind& got, const std::string& candidate) {
    for (const FaultMet& met : *others_) {
      if (met.fault == got) return;
    }
    others_->push_back({got, candidate});
  }

  const ValidateSettings& settings_;
  const std::string& module_;
  FaultKind fault_;
  std::vector<FaultMet>* others_;
  ModuleHost host_;
};

}  // namespace

std::string file_name_part(const std::string& name) {
  std::string part;
  for (char byte : name) {
    bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                 (byte >= '0' && byte <= '9') || byte == '.' || byte == '-' || byte == '_';
    part.push_back(plain ? byte : '_');
  }
  return part.empty() ? "module" : part;
}

std::string shrink_faulting_request(const ValidateSettings& settings, const std::string& module,
                                    const std::string& request, const FaultKind& fault,
                                    std::vector<FaultMet>* others) {
  // In one process the first fault ended the run: there is nothing to shrink with.
  if (settings.in_process) return request;
  ValidateSettings trial_settings = settings;
  if (is_hang(fault)) {
    set_environment_variable("MODTEST_TIMEOUT", kHangShrinkTimeout);
    trial_settings.call_seconds = 1;
  }
  ShrinkTrial trial(trial_settings, module, fault, others);
  ShrinkLimits limits;
  limits.most_tries = kMostShrinkTries;
  limits.deadline_seconds = kShrinkSeconds;
  std::string shrunk = shrink_request(
      request, [&trial](const std::string& candidate) { return trial.faults(candidate); }, limits);
  if (is_hang(fault))
    set_environment_variable("MODTEST_TIMEOUT", settings.call_seconds_text.c_str());
  return shrunk;
}

std::string keep_finding(CheckResult& result, const ValidateSettings& settings,
                         const std::string& module, const char* check, const std::string& request,
                         const FaultKind& fault, const std::string& first_met) {
  std::string value;
  if (!encode_reply_value(request, value)) {
    result.text("reproduce",
                "none: a cases file cannot hold this request (it has a byte 0x1A, "
                "or a lead byte before a line break)");
    return "";
  }
  std::string same = find_kept_file(settings, module, request, fault);
  if (!same.empty()) {
    std::string command = replay_command(settings, fault, same);
    result.text("same_as_file", same);
    result.text("reproduce", command);
    return command;
  }
  if (!make_directory(kFindingsFolder)) {
    std::string why = std::string("the folder ") + kFindingsFolder +
                      " could not be made: " + std::strerror(errno);
    result.text("reproduce", "none: " + why);
    // Said where a person looks too, once: no finding after it has a file.
    static bool said = false;
    if (!said) std::fprintf(stderr, "modtest: %s\n", why.c_str());
    said = true;
    return "";
  }
  std::string stem = findings_stem(module, check);
  std::FILE* file = nullptr;
  std::string path;
  for (unsigned number = 1; file == nullptr && number < 100000; ++number) {
    path = stem + std::to_string(number) + ".txt";
    file = create_new_file(path.c_str());
  }
  if (file == nullptr) {
    result.text("reproduce", "none: no new file could be made in " + std::string(kFindingsFolder));
    return "";
  }
  std::string text = finding_heading(settings, module, fault) + check + " check)\n" +
                     "module: " + module + "\nrequest: " + value + "\n";
  // Commented out, so that --check replays the shrunk request alone.
  std::string first_value;
  if (first_met != request && encode_reply_value(first_met, first_value)) {
    text += "\n# The request as first met, before it was shrunk:\n# module: " + module +
            "\n# request: " + first_value + "\n";
  }
  bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  written = std::fclose(file) == 0 && written;
  if (!written) {
    result.text("reproduce", "none: " + path + " could not be written");
    return "";
  }
  std::string command = replay_command(settings, fault, path);
  result.text("reproduce", command);
  return command;
}

void report_faulting_request(CheckResult& result, const ValidateSettings& settings,
                             ModuleUnderTest& module, const char* check, const std::string& request,
                             const FaultKind& fault, std::vector<FaultMet>* others) {
  module.faulted.push_back(request);
  // The same fault at the same place is the same bug, whatever the request.
  if (!fault.identity.place.empty()) {
    for (const ModuleUnderTest::KeptFinding& kept : module.kept) {
      if (kept.fault == fault) {
        result.text("request", request.size() <= 200 ? request : request.substr(0, 200));
        result.text("same_as", kept.check);
        result.text("reproduce", kept.reproduce);
        return;
      }
    }
  }
  std::string shrunk = shrink_faulting_request(settings, module.name, request, fault, others);
  if (shrunk != request) module.faulted.push_back(shrunk);
  result.number("request_bytes", static_cast<double>(request.size()));
  result.text("request", shrunk.size() <= 200 ? shrunk : shrunk.substr(0, 200));
  if (shrunk.size() != request.size()) {
    result.number("shrunk_to_bytes", static_cast<double>(shrunk.size()));
  }
  for (const ModuleUnderTest::KeptFinding& kept : module.kept) {
    if (kept.request == shrunk && kept.fault == fault) {
      result.text("same_as", kept.check);
      result.text("reproduce", kept.reproduce);
      return;
    }
  }
  std::string command = keep_finding(result, settings, module.name, check, shrunk, fault, request);
  if (!command.empty()) {
    module.kept.push_back({shrunk, fault, check, command});
  }
}
