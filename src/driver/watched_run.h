#pragma once

// What the driver keeps for a watcher from outside (platform/run_watch.h),
// and what the watcher says when its worker ended without a word.

#include "check/case_report.h"
#include "driver/options.h"
#include "platform/run_watch.h"
#include "report/report_buffer.h"

// Check mode's progress and its report's pending bytes: enough for a
// watcher to close the report of a worker that could not.
struct WatchedState {
  ReportStorage report;
  CheckProgress progress;
};

// In the worker: the state, laid in `record`, with the report kept there.
WatchedState& prepare_watched_state(RunRecord& record);

// In the watcher, once the worker has ended: passes a worker's own ending
// on. Otherwise writes the line the worker could not, naming the module
// call it was in, closes check mode's report as for any crash, and returns
// the code a crash ends with.
int finish_watched_run(RunRecord& record, const WorkerEnd& end, const Options& options);
