#pragma once

// Between fault_watch.cpp, which keeps on every OS alike which module call is
// in progress and runs the watchdog over it, and each OS's fault file
// (fault_reporting_posix.cpp, fault_reporting_win32.cpp), which has the
// handlers and the primitives below. Nothing a handler calls here allocates
// or takes a lock.

#include "platform/fault_line.h"
#include "platform/fault_reporting.h"
#include "platform/run_watch.h"

// What the handlers ask of fault_watch.cpp.

// Where the module calls are kept: a record of the process's own, or, in a
// worker watched from outside, the one the watcher reads (keep_run_record_in,
// called before any module call).
RunRecord& run_record();
void keep_run_record_in(RunRecord* record);

// The module call in progress; null outside one.
const FaultLine* module_call_in_progress();
// The module call entered last, whether or not it has returned.
const FaultLine& last_module_call();
// The codes install_fault_reporting was given.
const FaultExitCodes& fault_exit_codes();
// The code a crash ends the run with: the module's when `call` is one in
// progress, modtest's own when it is null.
int crash_exit_code(const FaultLine* call);
// Runs the epilogue, when one is set, on the finished `line`; returns the
// code to end with, `exit_code` when there is none.
int run_fault_epilogue(const FaultLine& line, int exit_code);

// Run by the thread start_watch_thread starts; ends the run when a call
// outlasts the timeout, and never returns.
[[noreturn]] void watch_module_calls();

// Where a handler keeps what it learned, before it finishes.
FaultFacts& fault_facts_to_fill();

// What each OS gives fault_watch.cpp.

// Sets up the OS's handlers; install_fault_reporting calls it once, after
// the codes are kept and before any watchdog starts.
void install_fault_handlers();

// A point on a monotonic clock, in the OS's own unit.
using WatchTime = unsigned long long;
WatchTime watch_clock();
// How long `seconds` (> 0) is on that clock.
WatchTime watch_span(double seconds);
// Makes the watch lock and its wakeup ready and starts the thread that runs
// watch_module_calls. Returns false when no thread could start.
bool start_watch_thread();
void lock_watch();
void unlock_watch();
// With the watch lock held: waits for wake_watch, or at most until
// `deadline`; either may return early, and the caller looks again.
void wait_for_watch_wakeup();
void wait_for_watch_wakeup_until(WatchTime deadline);
void wake_watch();
// Reports the call that did not return, from the watchdog's thread, and ends
// the run.
[[noreturn]] void finish_timed_out_call(const FaultLine& line, int exit_code);
