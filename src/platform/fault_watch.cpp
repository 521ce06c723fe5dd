// Which module call is in progress, and the watchdog over it, the same on
// every OS. What a report says is copied here before the call it is about,
// so that the handlers need nothing at the time of the fault.

#include "platform/fault_watch.h"

#include <atomic>
#include <csignal>
#include <cstdio>

namespace {

// Static storage starts zeroed; an initialiser of `{}` would clear its
// few hundred KiB again at start-up, pages a plain run never touches.
RunRecord own_record;
RunRecord* record = &own_record;  // who and which entry, and whether inside a module
FaultEpilogue epilogue = nullptr;
FaultFacts facts{};
FaultExitCodes exit_codes{};

// Watchdog state, guarded by the watch lock.
bool watch_armed = false;
unsigned long watch_generation = 0;
WatchTime watch_deadline = 0;
WatchTime watch_period = 0;  // 0 without a watchdog
char watch_text[64];
// A loop of calls: the watchdog looks every quarter of the timeout whether
// a call ended since it last looked.
bool watch_counting = false;
std::atomic<unsigned long> calls_ended{0};

void start_watchdog(double seconds, const char* text) {
  watch_period = watch_span(seconds);
  std::snprintf(watch_text, sizeof watch_text, "%s", text);
  if (!start_watch_thread()) watch_period = 0;
}

}  // namespace

FaultFacts& fault_facts_to_fill() {
  return facts;
}

const FaultFacts& last_fault_facts() {
  return facts;
}

RunRecord& run_record() {
  return *record;
}

void keep_run_record_in(RunRecord* kept) {
  record = kept;
}

void note_run_ends_on_its_own() {
  record->reported = 1;
}

const FaultLine* module_call_in_progress() {
  return record->inside ? &record->call : nullptr;
}

const FaultLine& last_module_call() {
  return record->call;
}

const FaultExitCodes& fault_exit_codes() {
  return exit_codes;
}

int crash_exit_code(const FaultLine* call) {
  return call != nullptr ? exit_codes.crashed : exit_codes.own_fault;
}

int run_fault_epilogue(const FaultLine& line, int exit_code) {
  return epilogue != nullptr ? epilogue(line.fault(), exit_code) : exit_code;
}

void watch_module_calls() {
  lock_watch();
  for (;;) {
    while (!watch_armed) wait_for_watch_wakeup();
    unsigned long generation = watch_generation;
    unsigned long seen = calls_ended.load(std::memory_order_relaxed);
    int quiet_looks = 0;
    while (watch_armed && watch_generation == generation) {
      if (watch_clock() < watch_deadline) {
        wait_for_watch_wakeup_until(watch_deadline);
        continue;
      }
      if (!watch_counting) break;
      unsigned long now_ended = calls_ended.load(std::memory_order_relaxed);
      quiet_looks = now_ended == seen ? quiet_looks + 1 : 0;
      seen = now_ended;
      if (quiet_looks >= 4) break;
      watch_deadline = watch_clock() + watch_period / 4;
    }
    if (watch_armed && watch_generation == generation) break;
  }
  // The lock stays taken: the run's thread cannot start another call.
  static FaultLine line;
  line.begin(&record->call, FaultLine::kTimedOut);
  line.append(watch_text);
  line.append(" s");
  line.end();
  finish_timed_out_call(line, exit_codes.timed_out);
}

void install_fault_reporting(const FaultExitCodes& codes, double timeout_seconds,
                             const char* timeout_text) {
  exit_codes = codes;
  install_fault_handlers();
  if (timeout_seconds > 0) start_watchdog(timeout_seconds, timeout_text);
}

namespace {

void enter_calls(const char* name, const char* path, const char* entry, bool counting) {
  std::fflush(stdout);
  if (watch_period == 0) {
    record->call.set(name, path, entry);
    record->inside = 1;
    return;
  }
  // Under the lock: a watchdog report never reads a half-written call.
  lock_watch();
  record->call.set(name, path, entry);
  record->inside = 1;
  watch_counting = counting;
  watch_deadline = watch_clock() + (counting ? watch_period / 4 : watch_period);
  watch_armed = true;
  ++watch_generation;
  wake_watch();
  unlock_watch();
}

}  // namespace

void enter_module_call(const char* name, const char* path, const char* entry) {
  enter_calls(name, path, entry, false);
}

void enter_module_call_loop(const char* name, const char* path, const char* entry) {
  enter_calls(name, path, entry, true);
}

void count_module_call() {
  // One thread counts: a plain store, not a locked add, keeps it cheap.
  calls_ended.store(calls_ended.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

void leave_module_call() {
  record->inside = 0;
  if (watch_period == 0) return;
  // The watchdog finds the call over when it next wakes; no need to wake it.
  lock_watch();
  watch_armed = false;
  unlock_watch();
}

void set_fault_epilogue(FaultEpilogue new_epilogue) {
  epilogue = new_epilogue;
}
