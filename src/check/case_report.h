#pragma once

// The check mode's report in TAP: a line for each case and, where there is
// more to say, a YAML block; the plan and a summary at the end. A module
// that crashes, hangs or ends the process cuts the run short: the report is
// then finished from the fault handler, every case still in it.

#include <cstddef>

#include "check/case_runner.h"
#include "check/cases_file.h"

// A case without a name: is shown by this many bytes of its request at most.
constexpr std::size_t kRequestNameLimit = 60;

// How far a check run has come: what finishing a cut report needs. The run
// keeps it up to date; the fault handler only reads it, and the cases, which
// stay as they are while a module runs.
struct CheckProgress {
  enum Phase { kBinding, kCases, kUnloading };
  Phase phase = kBinding;
  const CasesFile* file = nullptr;
  std::size_t current = 0;  // index of the case being sent
  unsigned long repetition = 0;
  std::size_t passed = 0;
  std::size_t failed = 0;
  // Set when a fault cut the run short: its line, without "modtest: ",
  // and the code it ended with.
  bool cut = false;
  int cut_exit_code = 0;
  char cut_fault[1024] = "";
};

// How the cases after a cut one were kept from running, before the cut
// case's number: " crashed in case ".
const char* cut_case_words(int exit_code);

// Starts the report of `progress.file` with its version line and, until
// end_case_report, has a fault finish it from `progress`, which must live
// that long.
void start_case_report(CheckProgress& progress);

// The line of case `index` and its block.
void report_outcome(const CasesFile& file, std::size_t index, const Outcome& outcome);

// Ends the report with the plan and the summary and writes it out.
void end_case_report(const CheckProgress& progress);

// Ends a report that a fault cut short, after the fault's line on standard
// error (`fault`, without "modtest: " and line feed), so that it still holds
// every case, the plan and the summary; returns the exit code to end with.
// A fault of modtest's own ends the report with a bail-out, the fault its
// reason. Notes the cut in `progress`. Safe where a fault handler runs. The
// epilogue start_case_report sets calls it; so does a watcher whose worker
// ended without a word.
int finish_cut_case_report(CheckProgress& progress, const char* fault, int exit_code);
