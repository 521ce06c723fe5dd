#include "check/check_junit.h"

#include <string_view>

#include "report/junit_writer.h"
#include "report/tap_text.h"
#include "run_terms/exit_code.h"

namespace {

// Named by the bytes the TAP report shows and without its line, so that CI
// still knows the case once lines above it were added or taken away; a
// failure says where the case is. The JUnit writer shows the bytes readably
// its own way.
std::string case_name(const CasesFile& file, const CheckCase& check_case) {
  if (check_case.name.length != 0) return std::string(file.view(check_case, check_case.name));
  std::string_view request = file.view(check_case, check_case.request);
  std::size_t shown = description_length(request.data(), request.size(), kRequestNameLimit);
  return std::string(request.substr(0, shown)) + (shown < request.size() ? "..." : "");
}

std::string line_of(const CheckCase& check_case) {
  return "line " + std::to_string(check_case.line) + ": ";
}

// The cases a fault kept from running, after the one it cut.
void add_cut_cases(JUnitReport& junit, const CasesFile& file, const CheckProgress& progress,
                   std::size_t first_unreported) {
  if (progress.phase != CheckProgress::kCases || progress.cut_exit_code == kExitOwnFault) {
    // Binding or unloading, or modtest's own: no case to pin the fault on.
    const char* when = progress.cut_exit_code == kExitOwnFault     ? "run"
                       : progress.phase == CheckProgress::kBinding ? "binding"
                                                                   : "unloading";
    junit.add("modtest", when, JUnitOutcome::kFailed, 0, progress.cut_fault);
    for (std::size_t index = first_unreported; index < file.cases.size(); ++index) {
      const CheckCase& check_case = file.cases[index];
      junit.add(file.modules[check_case.module], case_name(file, check_case),
                JUnitOutcome::kSkipped, 0, "not run: " + std::string(progress.cut_fault));
    }
    return;
  }
  const CheckCase& cut = file.cases[progress.current];
  const std::string& module = file.modules[cut.module];
  junit.add(module, case_name(file, cut), JUnitOutcome::kFailed, 0,
            line_of(cut) + progress.cut_fault);
  std::string not_run = "not run: module " + module + cut_case_words(progress.cut_exit_code) +
                        std::to_string(progress.current + 1);
  for (std::size_t index = progress.current + 1; index < file.cases.size(); ++index) {
    const CheckCase& check_case = file.cases[index];
    junit.add(file.modules[check_case.module], case_name(file, check_case), JUnitOutcome::kSkipped,
              0, not_run);
  }
}

}  // namespace

void journal_outcome(CaseJournal& journal, const CasesFile& file, std::size_t index,
                     const Outcome& outcome) {
  const CheckCase& check_case = file.cases[index];
  std::string message;
  std::string details;
  if (!outcome.passed) {
    message = line_of(check_case) +
              (outcome.message != nullptr ? outcome.message : "the reply differs from reply:");
    if (outcome.mismatch) {
      details = "expected: " + std::string(file.view(check_case, check_case.reply)) +
                "\nactual: " + std::string(outcome.reply, outcome.reply_length) + "\n";
    }
  }
  journal_case(journal, {index, outcome.passed, outcome.total_seconds, message, details});
}

bool write_check_junit(const CasesFile& file, const CaseJournal& journal,
                       const CheckProgress& progress, const std::string& path, std::string& error) {
  JUnitReport junit;
  std::size_t offset = 0;
  std::size_t reported = 0;
  JournalEntry entry;
  while (next_journal_entry(journal, offset, entry) && entry.index < file.cases.size()) {
    const CheckCase& check_case = file.cases[entry.index];
    junit.add(file.modules[check_case.module], case_name(file, check_case),
              entry.passed ? JUnitOutcome::kPassed : JUnitOutcome::kFailed, entry.seconds,
              std::string(entry.message), std::string(entry.details));
    reported = entry.index + 1;
  }
  if (progress.cut) add_cut_cases(junit, file, progress, reported);
  return write_junit_file(junit, path, error);
}
