#include <cstdio>
#include <cstdlib>
#include <string>

#include "check/check_run.h"
#include "driver/options.h"
#include "driver/program_directory.h"
#include "driver/single_run.h"
#include "driver/watched_run.h"
#include "guard_heap/guard_heap.h"
#include "host/host_server.h"
#include "interactive/interactive_run.h"
#include "platform/environment.h"
#include "platform/fault_reporting.h"
#include "platform/run_watch.h"
#include "platform/standard_output.h"
#include "run_terms/exit_code.h"
#include "run_terms/timeout_setting.h"
#include "validate/validate_run.h"

// Without options a run is configured only by the files beside it.
int main(int argc, char** argv) {
  prepare_standard_output();
  Options options = parse_options(argc, argv);
  switch (options.action) {
    case Options::kHelp:
      std::fputs(kHelpText, stdout);
      return kExitSuccess;
    case Options::kVersion:
      std::fputs(kVersionLine, stdout);
      return kExitSuccess;
    case Options::kUsageError:
      std::fprintf(stderr, "modtest: %s\n%s", options.error.c_str(), kUsageLine);
      return kExitUsage;
    case Options::kInteractive: {
      // Modules run in the session's child host alone: this process is not
      // watched.
      std::string directory;
      get_program_directory(directory);
      return run_interactive(directory, options.guard);
    }
    case Options::kSingleRun:
    case Options::kCheck:
    case Options::kValidate:
    case Options::kHost:
      break;
  }
  RunRecord* record = nullptr;
  WorkerEnd worker_end;
  // Check mode's report and JUnit file must be finished however a module
  // ends the worker.
  bool whole_report_needed = options.action == Options::kCheck;
  if (watch_run_from_outside(&record, &worker_end, whole_report_needed) == RunRole::kWatcher) {
    return finish_watched_run(*record, worker_end, options);
  }
  WatchedState& state = prepare_watched_state(*record);
  // A validated module's calls always have a time limit, its hosts' too.
  if (options.action == Options::kValidate && std::getenv("MODTEST_TIMEOUT") == nullptr) {
    set_environment_variable("MODTEST_TIMEOUT", kValidateCallSeconds);
  }
  const char* timeout = std::getenv("MODTEST_TIMEOUT");
  const FaultExitCodes codes{kExitModuleCrashed, kExitModuleTimedOut, kExitModuleEndedProcess,
                             kExitOwnFault};
  install_fault_reporting(codes, parse_timeout_setting(timeout), timeout != nullptr ? timeout : "");
  if (options.action == Options::kHost) {
    std::string directory;
    get_program_directory(directory);
    int exit_code = serve_module_host(directory);
    note_run_ends_on_its_own();
    return exit_code;
  }
  if (options.action == Options::kCheck) {
    // Before any module is bound: each is given the guarded heap as it loads.
    if (options.guard) guard_every(1);
    std::string directory;
    get_program_directory(directory);
    int exit_code = run_check(options.cases_path, options.update, directory, kUsageLine,
                              state.progress, state.journal, options.junit_path);
    note_run_ends_on_its_own();
    return exit_code;
  }
  if (options.action == Options::kValidate) {
    ValidateSettings settings;
    get_program_directory(settings.directory);
    settings.modules = options.modules;
    settings.cases_path = options.seed_cases_path;
    settings.dictionary_path = options.dictionary_path;
    settings.fuzz_seconds = options.fuzz_seconds;
    settings.seed = options.has_seed ? options.seed : seed_from_clock();
    settings.in_process = options.in_process;
    settings.quiet = options.quiet;
    settings.guard = !options.no_guard;
    settings.junit_path = options.junit_path;
    if (argc > 0 && argv[0] != nullptr && *argv[0] != '\0') settings.tool = argv[0];
    int exit_code = run_validate(settings, kUsageLine);
    note_run_ends_on_its_own();
    return exit_code;
  }
  int exit_code = run_single();
  note_run_ends_on_its_own();
  return exit_code;
}
