#pragma once

// Reports a fault on standard error and ends the run. The portable part,
// which call is in progress and the watchdog, is fault_watch.cpp; the
// handlers are fault_reporting_posix.cpp and fault_reporting_win32.cpp.

// The exit codes a report ends the run with; the caller owns their values.
struct FaultExitCodes {
  int crashed;        // a fault inside a module call
  int timed_out;      // a call that did not return in time
  int ended_process;  // a module that ended the process inside a call
  int own_fault;      // any other fault: modtest's own
};

// From here on a fault is reported on standard error and ends the run: one
// inside a module call with `codes.crashed`, any other as modtest's own with
// `codes.own_fault`. A module that ends the process inside a call is
// reported too (`codes.ended_process`). With `timeout_seconds` > 0 a
// watchdog also ends a call that has not returned in time
// (`codes.timed_out`); `timeout_text` is how the user wrote the time.
// Without a timeout no watchdog thread or timer exists.
void install_fault_reporting(const FaultExitCodes& codes, double timeout_seconds,
                             const char* timeout_text);

// Brackets one call into a module, its library's loading and release
// included. `name`, `path` and `entry` say in a report which module and
// entry it was; they are copied here, so that a handler needs nothing at the
// time of the fault. Standard output is flushed first: nothing printed before
// the call can be lost however the call ends.
void enter_module_call(const char* name, const char* path, const char* entry);
void leave_module_call();

// A loop of many calls to one entry, such as the fuzzer's, bracketed once:
// a bracket of its own per call would cost more than a fast module's call.
// count_module_call marks each call's end; the watchdog then ends the loop
// once no call has ended for the timeout (found within a quarter more).
// leave_module_call closes the loop.
void enter_module_call_loop(const char* name, const char* path, const char* entry);
void count_module_call();

// What a handler learned of the fault it reports, beyond its line: enough
// to tell one bug from another. Kept in static memory until the process
// ends; an epilogue may read it.
struct FaultFacts {
  // The signal number, or on Windows the exception code; 0 for a fault that
  // is no signal or exception (a timeout, an exit).
  unsigned long code;
  // The faulting instruction's address, 0 when unknown; and for an invalid
  // access the address it touched.
  unsigned long long instruction;
  unsigned long long data_address;
  bool has_data_address;
  // Whether the access was a read or a write, where the system says.
  enum Access : unsigned char { kAccessUnknown, kRead, kWrite } access;
};
const FaultFacts& last_fault_facts();

// Run by the handlers after their line on standard error and before the
// process ends, with that line (no "modtest: " in front, no line feed) and
// the exit code they would end with; returns the exit code to end with
// instead. It runs where only write_output_now may be called.
using FaultEpilogue = int (*)(const char* fault, int exit_code);
void set_fault_epilogue(FaultEpilogue epilogue);
