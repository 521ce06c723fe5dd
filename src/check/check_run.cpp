#include "check/check_run.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "check/case_report.h"
#include "check/case_runner.h"
#include "check/cases_file.h"
#include "check/cases_rewrite.h"
#include "check/check_junit.h"
#include "modules/host_memory.h"
#include "modules/module_registry.h"
#include "platform/standard_output.h"
#include "report/tap_text.h"
#include "run_terms/exit_code.h"

namespace {

// The actual reply of a case, kept for --update when it changes the file.
void keep_for_update(const CasesFile& file, const CheckCase& check_case, const Outcome& outcome,
                     std::vector<ReplyEdit>& edits) {
  if (outcome.reply == nullptr) return;
  std::string_view actual(outcome.reply, outcome.reply_length);
  if (check_case.has_reply && actual == file.view(check_case, check_case.reply)) return;
  bool add = !check_case.has_reply;
  edits.push_back({add ? check_case.request_line : check_case.reply_line, add, std::string()});
  edits.back().value.assign(actual);
}

}  // namespace

int run_check(const std::string& cases_path, bool update, const std::string& directory,
              const char* usage_line, CheckProgress& progress, CaseJournal& journal,
              const std::string& junit_path) {
  CasesFile file;
  std::vector<std::string> errors;
  CasesFileResult read = read_cases_file(cases_path, file, errors);
  if (read == kCasesFileUnreadable) {
    std::fprintf(stderr, "modtest: %s\n%s", errors.front().c_str(), usage_line);
    return kExitUsage;
  }
  if (read == kCasesFileBad) {
    for (const std::string& error : errors) std::fprintf(stderr, "modtest: %s\n", error.c_str());
    return kExitUsage;
  }

  // Standard output carries the report alone; the binding lines and
  // whatever a module prints go to standard error, unbuffered so that they
  // stay in order with the host's warnings there.
  reserve_standard_output();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  progress = CheckProgress{};
  progress.file = &file;
  start_case_report(progress);

  ModuleRegistry registry;
  init_registry(&registry);
  load_module_list(&registry, directory.c_str());

  progress.phase = CheckProgress::kCases;
  // Each module name of the file looked up once.
  std::vector<ModuleRecord*> records;
  for (const std::string& name : file.modules)
    records.push_back(find_module(&registry, name.c_str()));
  std::vector<ReplyEdit> edits;
  journal.length = 0;
  for (std::size_t index = 0; index < file.cases.size(); ++index) {
    const CheckCase& check_case = file.cases[index];
    progress.current = index;
    ModuleRecord* record = records[check_case.module];
    Outcome outcome;
    outcome.message = unsendable_reason(registry, record);
    if (outcome.message == nullptr) {
      send_case(record, file, check_case, progress.repetition, outcome);
    }
    if (outcome.passed) {
      progress.passed += 1;
    } else {
      progress.failed += 1;
    }
    report_outcome(file, index, outcome);
    if (!junit_path.empty()) journal_outcome(journal, file, index, outcome);
    if (update) keep_for_update(file, check_case, outcome, edits);
    host_release(outcome.reply);
  }

  progress.phase = CheckProgress::kUnloading;
  unload_all_modules(&registry);
  end_registry(&registry);
  end_case_report(progress);
  std::string error;
  // CI that reads the file would otherwise see a passing run with no
  // results.
  bool junit_lost =
      !junit_path.empty() && !write_check_junit(file, journal, progress, junit_path, error);
  if (junit_lost) std::fprintf(stderr, "modtest: %s\n", error.c_str());

  if (update && !update_cases_file(cases_path, edits)) return kExitUsage;
  if (junit_lost) return kExitUsage;
  return progress.failed == 0 ? kExitSuccess : kExitCasesFailed;
}
