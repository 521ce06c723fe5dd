#pragma once

// Some faults on Windows leave no stack for any handler in the process to
// run on: a fail-fast (a module's own stack or heap check), or a stack that
// a module overwrote along with its return address. The process just ends,
// and says nothing. So there every run is watched from outside: modtest
// starts itself as the worker, with the same command line and standard
// handles, and the worker keeps which module call is in progress in a
// record the watcher reads once the worker is gone. Natively the handlers on
// their own stack cover all of these, and a run is its own worker unless
// its report must be finished whatever becomes of the worker: a module
// that corrupts the heap, or ends the process with no exit hook run, takes
// the handlers' report with it.
// run_watch_posix.cpp and run_watch_win32.cpp implement this.

#include <cstddef>

#include "platform/fault_line.h"

// What the worker keeps where the watcher can read it after the worker has
// gone. The same program writes and reads it, so its layout is the same on
// both sides.
struct RunRecord {
  FaultLine call;          // the module call entered last
  volatile long inside;    // 1 from enter_module_call to leave_module_call
  volatile long reported;  // the worker ends on its own, having said what it had to
  // The driver's own, such as check mode's progress and its report's
  // pending bytes.
  alignas(16) unsigned char state[336 * 1024];
};

struct WorkerEnd {
  unsigned long exit_code;  // the whole 32 bits Windows gives
  int signal_number;        // natively, the signal that ended it; else 0
  bool exited;              // it ended itself, with an exit; false where unknown
};

enum class RunRole { kWorker, kWatcher };

// On Windows, and elsewhere when `whole_report_needed`, a run not yet
// watched starts a worker and waits for it to end: kWatcher, with `*end`
// and in `*record` what the worker left. Otherwise (the worker itself, or
// when no worker could be started) kWorker: the run goes on here, and
// `*record` is where it keeps what a watcher would read.
RunRole watch_run_from_outside(RunRecord** record, WorkerEnd* end, bool whole_report_needed);

// How the worker ended, in the system's terms, for a line that says so:
// an exit status, or the signal.
void describe_worker_end(const WorkerEnd& end, FaultLine& line);

// Says in the record that the worker ends on its own and has said what it
// had to: called just before a run's last exit, by main and by the fault
// handlers. Safe in a handler.
void note_run_ends_on_its_own();
