#include "driver/watched_run.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "check/cases_file.h"
#include "check/check_junit.h"
#include "platform/fault_line.h"
#include "run_terms/exit_code.h"

static_assert(sizeof(WatchedState) <= sizeof(RunRecord::state), "the record holds the state");

WatchedState& prepare_watched_state(RunRecord& record) {
  // Not value-initialised: that would clear the whole report storage, pages
  // a short run never writes. Only the length needs a value.
  WatchedState* state = new (record.state) WatchedState;
  state->report.length = 0;
  state->journal.length = 0;
  keep_report_in(&state->report);
  return *state;
}

int finish_watched_run(RunRecord& record, const WorkerEnd& end, const Options& options) {
  int exit_code = static_cast<int>(end.exit_code);
  static FaultLine line;  // too large for a small stack
  if (!record.reported) {
    const FaultLine* call = record.inside ? &record.call : nullptr;
    line.begin(call, call != nullptr ? FaultLine::kEndedWithoutReport : FaultLine::kCrashed);
    if (call == nullptr) line.append("the run ended without a report: ");
    describe_worker_end(end, line);
    line.end();
    std::fwrite(line.text(), 1, line.length(), stderr);
    std::fflush(stderr);
    exit_code = call == nullptr ? kExitOwnFault
                : end.exited    ? kExitModuleEndedProcess
                                : kExitModuleCrashed;
  }
  WatchedState& state = *reinterpret_cast<WatchedState*>(record.state);
  bool cut = !record.reported || state.progress.cut;
  if (options.action != Options::kCheck || !cut) return exit_code;
  CasesFile file;
  std::vector<std::string> errors;
  if (read_cases_file(options.cases_path, file, errors) != kCasesRead) return exit_code;
  CheckProgress progress = state.progress;
  progress.file = &file;
  if (!record.reported) {
    // The report as the worker would have closed it: what it kept, then
    // the cut case and the rest.
    write_kept_report(state.report);
    exit_code = finish_cut_case_report(progress, line.fault(), exit_code);
  }
  std::string error;
  if (options.junit_path.empty() ||
      write_check_junit(file, state.journal, progress, options.junit_path, error)) {
    return exit_code;
  }
  std::fprintf(stderr, "modtest: %s\n", error.c_str());
  return kExitUsage;
}
