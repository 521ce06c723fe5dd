#include "check/case_report.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "guard_heap/guard_fault.h"
#include "platform/fault_reporting.h"
#include "report/report_buffer.h"
#include "report/tap_text.h"
#include "run_terms/exit_code.h"

namespace {

// The run a fault may cut short, read by the fault epilogue alone: set by
// start_case_report, cleared by end_case_report.
CheckProgress* watched = nullptr;

void report_case_line(const CasesFile& file, bool passed, std::size_t index) {
  const CheckCase& check_case = file.cases[index];
  report_text(passed ? "ok " : "not ok ");
  report_number(index + 1);
  bool named = check_case.name.length != 0;
  std::string_view name = file.view(check_case, named ? check_case.name : check_case.request);
  if (name.empty()) return;
  report_text(" - ");
  report_description(name.data(), name.size(), named ? name.size() : kRequestNameLimit);
}

void report_field(const char* key, const char* bytes, std::size_t length) {
  report_text("  ");
  report_text(key);
  report_text(": ");
  report_quoted(bytes, length);
  report_text("\n");
}

void report_field(const char* key, std::string_view bytes) {
  report_field(key, bytes.data(), bytes.size());
}

void report_count(const char* key, unsigned long long count) {
  report_text("  ");
  report_text(key);
  report_text(": ");
  report_number(count);
  report_text("\n");
}

// What every failed case says of itself, up to the replies.
void report_failure_head(const CasesFile& file, const CheckCase& check_case, const char* message,
                         std::size_t message_length) {
  report_text("  ---\n");
  if (message != nullptr) {
    report_text("  message: ");
    report_quoted(message, message_length);
    report_text("\n");
  }
  report_count("line", check_case.line);
  report_field("module", file.modules[check_case.module]);
  report_field("request", file.view(check_case, check_case.request));
  if (check_case.has_reply) report_field("expected", file.view(check_case, check_case.reply));
}

void report_plan_and_summary(std::size_t planned, std::size_t passed, std::size_t failed,
                             std::size_t not_run) {
  report_text("1..");
  report_number(planned);
  report_text("\n# ");
  report_number(passed);
  report_text(" passed, ");
  report_number(failed);
  report_text(" failed");
  if (not_run != 0) {
    report_text(", ");
    report_number(not_run);
    report_text(" not run");
  }
  report_text("\n");
}

void report_timing(const Outcome& outcome) {
  char line[160];
  double mean = outcome.sent != 0 ? outcome.total_seconds / outcome.sent : 0;
  std::snprintf(line, sizeof line,
                "  mean_us: %.1f\n  slowest_us: %.1f\n  memory_growth_kib: %lld\n", mean * 1e6,
                outcome.slowest_seconds * 1e6, outcome.memory_growth / 1024);
  report_text(line);
}

// Runs where a fault handler does, after its line on standard error.
int finish_cut_report(const char* fault, int exit_code) {
  return finish_cut_case_report(*watched, fault, exit_code);
}

}  // namespace

const char* cut_case_words(int exit_code) {
  return exit_code == kExitModuleTimedOut       ? " did not return in case "
         : exit_code == kExitModuleEndedProcess ? " ended the process in case "
                                                : " crashed in case ";
}

int finish_cut_case_report(CheckProgress& progress, const char* fault, int exit_code) {
  std::size_t fault_length = std::strlen(fault);
  progress.cut = true;
  progress.cut_exit_code = exit_code;
  std::size_t kept = std::min(fault_length, sizeof progress.cut_fault - 1);
  std::memcpy(progress.cut_fault, fault, kept);
  progress.cut_fault[kept] = '\0';
  if (exit_code == kExitOwnFault || progress.phase != CheckProgress::kCases) {
    // Binding or unloading, or modtest's own: no case to pin it on.
    // A bail-out reason is plain text to its end: no escapes, unlike a
    // case's description. The fault line holds no line feed.
    report_text("Bail out! ");
    report_text(fault);
    report_text("\n");
    report_flush();
    // The report says what happened; the exit code keeps saying whose fault
    // it was.
    return exit_code == kExitOwnFault ? exit_code : kExitCasesFailed;
  }
  const CasesFile& file = *progress.file;
  const std::vector<CheckCase>& cases = file.cases;
  const CheckCase& cut = cases[progress.current];
  const std::string& module = file.modules[cut.module];
  report_case_line(file, false, progress.current);
  report_text("\n");
  report_failure_head(file, cut, fault, fault_length);
  // With --guard, what the fault was in the module's terms.
  static GuardFault guard;
  if (describe_reported_fault(guard)) {
    report_field("memory_error", guard.words, std::strlen(guard.words));
  }
  if (cut.repeat > 1) report_count("repetition", progress.repetition);
  report_text("  ...\n");
  const char* what = cut_case_words(exit_code);
  for (std::size_t index = progress.current + 1; index < cases.size(); ++index) {
    report_case_line(file, false, index);
    report_text(" # SKIP not run: module ");
    report_description(module.data(), module.size(), module.size());
    report_text(what);
    report_number(progress.current + 1);
    report_text("\n");
  }
  report_plan_and_summary(cases.size(), progress.passed, progress.failed + 1,
                          cases.size() - progress.current - 1);
  report_flush();
  return kExitCasesFailed;
}

void start_case_report(CheckProgress& progress) {
  watched = &progress;
  report_text("TAP version 13\n");
  set_fault_epilogue(finish_cut_report);
}

void report_outcome(const CasesFile& file, std::size_t index, const Outcome& outcome) {
  const CheckCase& check_case = file.cases[index];
  report_case_line(file, outcome.passed, index);
  report_text("\n");
  if (!outcome.passed) {
    report_failure_head(file, check_case, outcome.message,
                        outcome.message != nullptr ? std::strlen(outcome.message) : 0);
    if (outcome.reply != nullptr) report_field("actual", outcome.reply, outcome.reply_length);
    if (outcome.mismatch) report_count("first_difference", outcome.first_difference);
    if (check_case.repeat > 1 && outcome.sent != 0) report_count("repetition", outcome.sent);
  } else if (!check_case.has_reply || check_case.has_repeat) {
    report_text("  ---\n");
    if (!check_case.has_reply) report_field("actual", outcome.reply, outcome.reply_length);
  }
  if (check_case.has_repeat && outcome.sent != 0) {
    report_count("repeat", check_case.repeat);
    report_timing(outcome);
  }
  if (!outcome.passed || !check_case.has_reply || check_case.has_repeat) report_text("  ...\n");
}

void end_case_report(const CheckProgress& progress) {
  report_plan_and_summary(progress.file->cases.size(), progress.passed, progress.failed, 0);
  report_flush();
  set_fault_epilogue(nullptr);
  watched = nullptr;
}
