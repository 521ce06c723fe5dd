// Fault reporting on Windows: an unhandled-exception filter with stack kept
// for it, the C runtime's abort signal, hooks that see the process end, and
// the watchdog's thread. As on POSIX, everything a report says is copied
// before the call it is about (fault_watch.cpp), so the handlers only format
// into static memory, write and end the process. They end it with
// TerminateProcess: ExitProcess would run the broken module's detach code.

#include <windows.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "platform/fault_line.h"
#include "platform/fault_watch.h"
#include "platform/initialisation_watch_win32.h"
#include "platform/standard_stream.h"

namespace {

// Kept free on the run's thread for the filter, so that a module that
// overflows the stack still gets its report.
constexpr ULONG kHandlerStack = 64 * 1024;
// How long a report made beside a hanging call waits for the C runtime's
// lock on standard output, which that call may hold for good.
constexpr DWORD kFlushWait = 1000;

// The code a fault while reporting ends the run with; set at installation.
volatile LONG decided_code = 0;

CRITICAL_SECTION watch_lock;
CONDITION_VARIABLE watch_wakeup = CONDITION_VARIABLE_INIT;

DWORD WINAPI flush_output(void*) {
  std::fflush(stdout);
  return 0;
}

// Whatever the module printed itself is still in the C runtime's buffer,
// which the module shares with modtest. On the thread that faulted, a lock it
// holds is taken again, and a fault while flushing comes back to the filter,
// which then ends the run at once. From the watchdog the lock may belong to
// the call that never returns, so the flush waits on a thread of its own.
void try_flush_output(bool from_faulting_thread) {
  if (from_faulting_thread) {
    std::fflush(stdout);
    return;
  }
  HANDLE flusher = CreateThread(nullptr, 0, flush_output, nullptr, 0, nullptr);
  if (flusher == nullptr) return;
  WaitForSingleObject(flusher, kFlushWait);
  CloseHandle(flusher);
}

[[noreturn]] void end_process(int exit_code) {
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exit_code));
  // Not reached: the system ends the calling thread with its process.
  ExitProcess(static_cast<UINT>(exit_code));
}

[[noreturn]] void finish(const FaultLine& line, int exit_code, bool flush, bool faulting_thread) {
  static volatile LONG finishing_thread = 0;
  LONG me = static_cast<LONG>(GetCurrentThreadId());
  LONG first = InterlockedCompareExchange(&finishing_thread, me, 0);
  // A fault while reporting ends the run with the code already decided; a
  // second report from another thread leaves the first to end the run.
  if (first == me) end_process(decided_code);
  if (first != 0) {
    for (;;) Sleep(INFINITE);
  }
  decided_code = exit_code;
  write_all(StandardStream::kError, line.text(), line.length());
  if (flush) try_flush_output(faulting_thread);
  decided_code = run_fault_epilogue(line, exit_code);
  // Only now: a module that corrupted the heap may still end the epilogue,
  // and the watcher then finishes what it began.
  note_run_ends_on_its_own();
  end_process(decided_code);
}

// Eight hex digits, as Windows writes its status codes.
void append_code(FaultLine& line, DWORD code) {
  char digits[11] = "0x";
  for (int i = 0; i < 8; ++i) digits[2 + i] = "0123456789ABCDEF"[(code >> (28 - 4 * i)) & 0xF];
  digits[10] = '\0';
  line.append(digits);
}

void describe_exception(FaultLine& line, const EXCEPTION_RECORD& record) {
  switch (record.ExceptionCode) {
    case EXCEPTION_ACCESS_VIOLATION: {
      line.append("access violation");
      if (record.NumberParameters < 2) return;
      ULONG_PTR how = record.ExceptionInformation[0];
      line.append(how == 0 ? " reading" : how == 1 ? " writing" : how == 8 ? " executing" : "");
      line.append(" address ");
      line.append_address(record.ExceptionInformation[1]);
      return;
    }
    case EXCEPTION_STACK_OVERFLOW:
      line.append("stack overflow");
      return;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
      line.append("illegal instruction");
      return;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
      line.append("integer divide by zero");
      return;
    case EXCEPTION_INT_OVERFLOW:
      line.append("integer overflow");
      return;
    case EXCEPTION_PRIV_INSTRUCTION:
      line.append("privileged instruction");
      return;
  }
  line.append("exception ");
  append_code(line, record.ExceptionCode);
}

// Only an exception no handler took comes here: a module that handles its
// own faults is left to do so.
void note_facts(const EXCEPTION_RECORD& record) {
  FaultFacts& facts = fault_facts_to_fill();
  facts.code = record.ExceptionCode;
  facts.instruction = reinterpret_cast<std::uintptr_t>(record.ExceptionAddress);
  facts.has_data_address =
      record.ExceptionCode == EXCEPTION_ACCESS_VIOLATION && record.NumberParameters >= 2;
  facts.data_address = facts.has_data_address ? record.ExceptionInformation[1] : 0;
  // 0 a read, 1 a write, 8 the execution of data.
  facts.access = !facts.has_data_address               ? FaultFacts::kAccessUnknown
                 : record.ExceptionInformation[0] == 0 ? FaultFacts::kRead
                 : record.ExceptionInformation[0] == 1 ? FaultFacts::kWrite
                                                       : FaultFacts::kAccessUnknown;
}

LONG WINAPI on_unhandled_exception(EXCEPTION_POINTERS* pointers) {
  static FaultLine line;
  note_facts(*pointers->ExceptionRecord);
  const FaultLine* call = module_call_in_progress();
  line.begin(call, FaultLine::kCrashed);
  describe_exception(line, *pointers->ExceptionRecord);
  line.end();
  finish(line, crash_exit_code(call), true, true);
}

// The last exception raised in a library's initialisation code, and the
// handler that notes it; see initialisation_watch_win32.h.
EXCEPTION_RECORD noted_exception;
bool exception_noted = false;
PVOID noting_handler = nullptr;
DWORD loading_thread = 0;

LONG WINAPI note_exception(EXCEPTION_POINTERS* pointers) {
  if (GetCurrentThreadId() != loading_thread) return EXCEPTION_CONTINUE_SEARCH;
  noted_exception = *pointers->ExceptionRecord;
  exception_noted = true;
  return EXCEPTION_CONTINUE_SEARCH;
}

// The C runtime's abort raises this signal before it ends the process.
void on_abort(int) {
  static FaultLine line;
  fault_facts_to_fill().code = SIGABRT;
  const FaultLine* call = module_call_in_progress();
  line.begin(call, FaultLine::kCrashed);
  line.append("aborted");
  line.end();
  finish(line, crash_exit_code(call), true, true);
}

// Windows does not tell a process's exit code before the process has
// ended, so the report says only in which call it ended.
void report_ended_process(bool flush) {
  const FaultLine* call = module_call_in_progress();
  if (call == nullptr) return;
  static FaultLine line;
  line.begin(call, FaultLine::kEndedProcessUnknownCode);
  line.end();
  finish(line, fault_exit_codes().ended_process, flush, true);
}

// A module's exit() runs the program's exit handlers first, then
// ExitProcess.
void on_exit_call() {
  report_ended_process(true);
}

// ExitProcess (and the end of the run's thread) calls the fiber-data
// callbacks before any library hears of it: the C runtime is still whole.
void WINAPI on_run_thread_end(void*) {
  report_ended_process(true);
}

// Where fiber-data callbacks are not called at process end, Windows still
// calls the program's own image callbacks, after every library has been
// detached: too late to flush the C runtime's buffers, not to report. Wine
// calls the fiber-data callbacks at the end, not these.
void NTAPI on_image_event(PVOID, DWORD reason, PVOID) {
  if (reason == DLL_PROCESS_DETACH) report_ended_process(false);
}

DWORD WINAPI run_watch(void*) {
  watch_module_calls();
}

}  // namespace

// The image callback table of the program; the linker collects entries of
// this section between the C runtime's start and end marks.
extern "C" {
__attribute__((section(".CRT$XLB"), used)) PIMAGE_TLS_CALLBACK modtest_image_callback =
    on_image_event;
}

void install_fault_handlers() {
  decided_code = fault_exit_codes().own_fault;
  ULONG guarantee = kHandlerStack;
  SetThreadStackGuarantee(&guarantee);
  SetUnhandledExceptionFilter(on_unhandled_exception);
  std::signal(SIGABRT, on_abort);
  std::atexit(on_exit_call);
  DWORD slot = FlsAlloc(on_run_thread_end);
  // The callback comes only for a slot that holds something.
  static char held;
  if (slot != FLS_OUT_OF_INDEXES) FlsSetValue(slot, &held);
}

WatchTime watch_clock() {
  return GetTickCount64();
}

WatchTime watch_span(double seconds) {
  // Milliseconds, never fewer than the time asked for.
  double milliseconds = seconds * 1000;
  WatchTime span = static_cast<WatchTime>(milliseconds);
  if (static_cast<double>(span) < milliseconds || span == 0) ++span;
  return span;
}

bool start_watch_thread() {
  InitializeCriticalSection(&watch_lock);
  HANDLE thread = CreateThread(nullptr, 0, run_watch, nullptr, 0, nullptr);
  if (thread == nullptr) return false;
  CloseHandle(thread);
  return true;
}

void lock_watch() {
  EnterCriticalSection(&watch_lock);
}

void unlock_watch() {
  LeaveCriticalSection(&watch_lock);
}

void wait_for_watch_wakeup() {
  SleepConditionVariableCS(&watch_wakeup, &watch_lock, INFINITE);
}

void wait_for_watch_wakeup_until(WatchTime deadline) {
  WatchTime now = GetTickCount64();
  if (now >= deadline) return;
  WatchTime left = deadline - now;
  SleepConditionVariableCS(&watch_wakeup, &watch_lock,
                           left < 0x7FFFFFFF ? static_cast<DWORD>(left) : 0x7FFFFFFF);
}

void wake_watch() {
  WakeConditionVariable(&watch_wakeup);
}

void finish_timed_out_call(const FaultLine& line, int exit_code) {
  finish(line, exit_code, true, false);
}

void watch_library_initialisation() {
  exception_noted = false;
  loading_thread = GetCurrentThreadId();
  // First in line: it only looks, and every handler after it still decides.
  noting_handler = AddVectoredExceptionHandler(1, note_exception);
}

void end_library_initialisation_watch(bool failed) {
  if (noting_handler != nullptr) RemoveVectoredExceptionHandler(noting_handler);
  noting_handler = nullptr;
  if (!failed || !exception_noted) return;
  // The status the failed load left behind: an exception's own code only
  // when the loader caught that exception. One the library handled itself
  // leaves the load to succeed or fail for a reason of its own.
  using LastStatus = LONG(WINAPI*)();
  auto last_status = reinterpret_cast<LastStatus>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "RtlGetLastNtStatus")));
  if (last_status == nullptr ||
      static_cast<DWORD>(last_status()) != noted_exception.ExceptionCode) {
    return;
  }
  static FaultLine line;
  note_facts(noted_exception);
  line.begin(&last_module_call(), FaultLine::kCrashed);
  describe_exception(line, noted_exception);
  line.end();
  finish(line, fault_exit_codes().crashed, true, true);
}
