#include "driver/watched_run.h"

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "check/cases_file.h"
#include "platform/fault_line.h"
#include "run_terms/exit_code.h"

static_assert(sizeof(WatchedState) <= sizeof(RunRecord::state), "the record holds the state");

namespace {

// Eight hex digits, as Windows writes its status codes, and what the
// common ones mean to a module writer.
void append_status(FaultLine& line, unsigned long code) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "exit status 0x%08lX", code & 0xFFFFFFFFul);
  line.append(digits);
  switch (code) {
    case 0xC0000409ul:
      line.append(", a fail-fast (the module's own check found its stack or heap corrupted)");
      break;
    case 0xC0000005ul:
      line.append(", an access violation");
      break;
    case 0xC00000FDul:
      line.append(", a stack overflow");
      break;
  }
}

// The report as the worker would have closed it: what it kept, then the
// cut case and the rest. Returns the exit code to end with.
int close_check_report(WatchedState& state, const Options& options, const FaultLine& line,
                       int exit_code) {
  CasesFile file;
  std::vector<std::string> errors;
  if (read_cases_file(options.cases_path, file, errors) != kCasesRead) return exit_code;
  write_kept_report(state.report);
  CheckProgress progress = state.progress;
  progress.file = &file;
  return finish_cut_case_report(progress, line.fault(), exit_code);
}

}  // namespace

WatchedState& prepare_watched_state(RunRecord& record) {
  // Not value-initialised: that would clear the whole report storage, pages
  // a short run never writes. Only the length needs a value.
  WatchedState* state = new (record.state) WatchedState;
  state->report.length = 0;
  keep_report_in(&state->report);
  return *state;
}

int finish_watched_run(RunRecord& record, const WorkerEnd& end, const Options& options) {
  if (record.reported) return static_cast<int>(end.exit_code);
  const FaultLine* call = record.inside ? &record.call : nullptr;
  static FaultLine line;  // too large for a small stack
  line.begin(call, call != nullptr ? FaultLine::kEndedWithoutReport : FaultLine::kCrashed);
  if (call == nullptr) line.append("the run ended without a report: ");
  append_status(line, end.exit_code);
  line.end();
  std::fwrite(line.text(), 1, line.length(), stderr);
  std::fflush(stderr);
  int exit_code = call != nullptr ? kExitModuleCrashed : kExitOwnFault;
  if (options.action != Options::kCheck || call == nullptr) return exit_code;
  WatchedState& state = *reinterpret_cast<WatchedState*>(record.state);
  return close_check_report(state, options, line, exit_code);
}
