#pragma once

// What the driver keeps for a watcher from outside (platform/run_watch.h),
// and what the watcher says when its worker ended without a word.

#include "check/case_journal.h"
#include "check/case_report.h"
#include "driver/options.h"
#include "platform/run_watch.h"
#include "report/report_buffer.h"

// Check mode's progress, its report's pending bytes and its journal:
// enough for a watcher to close the report of a worker that could not, and
// to write the JUnit file of a run a fault cut short.
struct WatchedState {
  ReportStorage report;
  CheckProgress progress;
  CaseJournal journal;
};

// In the worker: the state, laid in `record`, with the report kept there.
WatchedState& prepare_watched_state(RunRecord& record);

// In the watcher, once the worker has ended: passes a worker's own ending
// on. Otherwise writes the line the worker could not, naming the module
// call it was in, closes check mode's report as for any crash, and returns
// the code a crash ends with. Either way, writes the JUnit file of a check
// run that a fault cut short.
int finish_watched_run(RunRecord& record, const WorkerEnd& end, const Options& options);
