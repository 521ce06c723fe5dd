// Fault reporting on POSIX systems: signal handlers on a stack of their own,
// an exit hook, and an optional watchdog thread. Everything a report says
// is copied into static buffers before the call it is about, so the
// handlers only format into static memory, write and end the process.

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "platform/fault_line.h"
#include "platform/fault_reporting.h"

namespace {

FaultLine current_call;            // who and which entry, while inside a module
volatile sig_atomic_t inside = 0;  // 1 from enter_module_call to leave_module_call
FaultEpilogue epilogue = nullptr;
FaultExitCodes exit_codes{};
// The code a fault while reporting ends the run with; set at installation.
volatile sig_atomic_t decided_code = 0;

// A module that overflows its stack leaves none for the handler.
alignas(16) char handler_stack[64 * 1024];
// The run's own stack, to tell an overflow from any other bad address.
std::uintptr_t stack_low = 0;
std::uintptr_t stack_high = 0;

// Watchdog state, guarded by watch_lock.
pthread_mutex_t watch_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t watch_wakeup;
bool watch_armed = false;
unsigned long watch_generation = 0;
timespec watch_deadline;
timespec watch_period;
char watch_text[64];

void write_all(int fd, const char* bytes, std::size_t length) {
  while (length > 0) {
    ssize_t written = write(fd, bytes, length);
    if (written <= 0) return;
    bytes += written;
    length -= static_cast<std::size_t>(written);
  }
}

// Whatever the module printed itself is still in the stdio buffer. Take it
// along when the lock can be had; a nested fault while doing so re-enters
// the handler, which then ends the run at once with the code decided.
void try_flush_output() {
  if (ftrylockfile(stdout) != 0) return;
  fflush_unlocked(stdout);
  funlockfile(stdout);
}

[[noreturn]] void finish(FaultLine& line, int exit_code) {
  static volatile sig_atomic_t finishing = 0;
  if (finishing) _exit(decided_code);
  finishing = 1;
  decided_code = exit_code;
  write_all(2, line.text(), line.length());
  try_flush_output();
  if (epilogue != nullptr) decided_code = epilogue(line.fault(), exit_code);
  _exit(decided_code);
}

const char* signal_description(int signal_number, int code) {
  switch (signal_number) {
    case SIGSEGV:
      return "segmentation fault";
    case SIGBUS:
      return "bus error";
    case SIGILL:
      return "illegal instruction";
    case SIGFPE:
      return code == FPE_INTDIV || code == FPE_INTOVF ? "integer divide by zero or overflow"
                                                      : "floating-point exception";
    case SIGABRT:
      return "aborted";
  }
  return "fatal signal";
}

bool is_stack_overflow(int signal_number, std::uintptr_t address) {
  // Below the lowest page of the stack lies its guard area.
  constexpr std::uintptr_t kGuard = 1024 * 1024;
  return signal_number == SIGSEGV && address < stack_high && address + kGuard >= stack_low;
}

void on_fault(int signal_number, siginfo_t* info, void*) {
  static FaultLine line;
  line.begin(inside ? &current_call : nullptr, FaultLine::kCrashed);
  std::uintptr_t address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (is_stack_overflow(signal_number, address)) {
    line.append("stack overflow");
    line.end();
    finish(line, inside ? exit_codes.crashed : exit_codes.own_fault);
  }
  line.append(signal_description(signal_number, info->si_code));
  if (signal_number != SIGABRT) {
    line.append(" (address ");
    line.append_address(address);
    line.append(")");
  }
  line.end();
  finish(line, inside ? exit_codes.crashed : exit_codes.own_fault);
}

void on_exit_call(int status, void*) {
  if (!inside) return;
  static FaultLine line;
  line.begin(&current_call, FaultLine::kEndedProcess);
  line.append_number(status);
  line.end();
  finish(line, exit_codes.ended_process);
}

timespec now() {
  timespec time;
  clock_gettime(CLOCK_MONOTONIC, &time);
  return time;
}

bool reached(const timespec& deadline) {
  timespec time = now();
  return time.tv_sec > deadline.tv_sec ||
         (time.tv_sec == deadline.tv_sec && time.tv_nsec >= deadline.tv_nsec);
}

void* watch_calls(void*) {
  pthread_mutex_lock(&watch_lock);
  for (;;) {
    while (!watch_armed) pthread_cond_wait(&watch_wakeup, &watch_lock);
    unsigned long generation = watch_generation;
    while (watch_armed && watch_generation == generation && !reached(watch_deadline)) {
      pthread_cond_timedwait(&watch_wakeup, &watch_lock, &watch_deadline);
    }
    if (watch_armed && watch_generation == generation) break;
  }
  static FaultLine line;
  line.begin(&current_call, FaultLine::kTimedOut);
  line.append(watch_text);
  line.append(" s");
  line.end();
  finish(line, exit_codes.timed_out);
}

void start_watchdog(double seconds, const char* text) {
  watch_period.tv_sec = static_cast<time_t>(seconds);
  watch_period.tv_nsec =
      static_cast<long>((seconds - static_cast<double>(watch_period.tv_sec)) * 1e9);
  std::snprintf(watch_text, sizeof watch_text, "%s", text);
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&watch_wakeup, &attributes);
  pthread_condattr_destroy(&attributes);
  pthread_t thread;
  if (pthread_create(&thread, nullptr, watch_calls, nullptr) == 0) pthread_detach(thread);
}

bool watchdog_running() {
  return watch_period.tv_sec != 0 || watch_period.tv_nsec != 0;
}

// Reading the stack's exact bounds means parsing /proc; the stack limit
// below the current frame is close enough to tell an overflow apart.
void find_own_stack() {
  char here;
  rlimit limit;
  stack_high = reinterpret_cast<std::uintptr_t>(&here) + 64 * 1024;
  if (getrlimit(RLIMIT_STACK, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < stack_high) {
    stack_low = stack_high - limit.rlim_cur;
  } else {
    stack_low = stack_high - 8 * 1024 * 1024;
  }
}

}  // namespace

void install_fault_reporting(const FaultExitCodes& codes, double timeout_seconds,
                             const char* timeout_text) {
  exit_codes = codes;
  decided_code = codes.own_fault;
  find_own_stack();
  stack_t stack{};
  stack.ss_sp = handler_stack;
  stack.ss_size = sizeof handler_stack;
  sigaltstack(&stack, nullptr);
  struct sigaction action {};
  action.sa_sigaction = on_fault;
  // SA_NODEFER: a fault inside the handler comes back to it, which then ends
  // the run with the code already decided instead of dying of the signal.
  action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
  sigemptyset(&action.sa_mask);
  for (int signal_number : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT}) {
    sigaction(signal_number, &action, nullptr);
  }
  on_exit(on_exit_call, nullptr);
  if (timeout_seconds > 0) start_watchdog(timeout_seconds, timeout_text);
}

void enter_module_call(const char* name, const char* path, const char* entry) {
  std::fflush(stdout);
  if (!watchdog_running()) {
    current_call.set(name, path, entry);
    inside = 1;
    return;
  }
  // Under the lock: a watchdog report never reads a half-written call.
  pthread_mutex_lock(&watch_lock);
  current_call.set(name, path, entry);
  inside = 1;
  timespec deadline = now();
  deadline.tv_sec += watch_period.tv_sec;
  deadline.tv_nsec += watch_period.tv_nsec;
  if (deadline.tv_nsec >= 1000000000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1000000000L;
  }
  watch_deadline = deadline;
  watch_armed = true;
  ++watch_generation;
  pthread_cond_signal(&watch_wakeup);
  pthread_mutex_unlock(&watch_lock);
}

void leave_module_call() {
  inside = 0;
  if (!watchdog_running()) return;
  // The watchdog finds the call over when it next wakes; no need to wake it.
  pthread_mutex_lock(&watch_lock);
  watch_armed = false;
  pthread_mutex_unlock(&watch_lock);
}

void set_fault_epilogue(FaultEpilogue new_epilogue) {
  epilogue = new_epilogue;
}
