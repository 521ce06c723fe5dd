// Fault reporting on POSIX systems: signal handlers on a stack of their own,
// an exit hook, and the watchdog's thread. Everything a report says is
// copied into static buffers before the call it is about (fault_watch.cpp),
// so the handlers only format into static memory, write and end the process.

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <ucontext.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>

#include "platform/fault_line.h"
#include "platform/fault_watch.h"
#include "platform/standard_stream.h"

namespace {

// A module that overflows its stack leaves none for the handler.
alignas(16) char handler_stack[64 * 1024];
// The run's own stack, to tell an overflow from any other bad address.
std::uintptr_t stack_low = 0;
std::uintptr_t stack_high = 0;
// The code a fault while reporting ends the run with; set at installation.
volatile sig_atomic_t decided_code = 0;

pthread_mutex_t watch_lock = PTHREAD_MUTEX_INITIALIZER;
pthread_cond_t watch_wakeup;

constexpr WatchTime kNanosecondsPerSecond = 1000000000;

// Whatever the module printed itself is still in the stdio buffer. Take it
// along when the lock can be had; a nested fault while doing so re-enters
// the handler, which then ends the run at once with the code decided.
void try_flush_output() {
  if (ftrylockfile(stdout) != 0) return;
  fflush_unlocked(stdout);
  funlockfile(stdout);
}

[[noreturn]] void finish(const FaultLine& line, int exit_code) {
  static volatile sig_atomic_t finishing = 0;
  if (finishing) _exit(decided_code);
  finishing = 1;
  decided_code = exit_code;
  write_all(StandardStream::kError, line.text(), line.length());
  try_flush_output();
  decided_code = run_fault_epilogue(line, exit_code);
  // Only now: a module that corrupted the heap may still end the epilogue,
  // and a watcher then finishes what it began.
  note_run_ends_on_its_own();
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

// The faulting instruction, from the machine state the system saved.
std::uintptr_t instruction_of(const void* context) {
  const ucontext_t* machine = static_cast<const ucontext_t*>(context);
  if (machine == nullptr) return 0;
#if defined(__x86_64__)
  return static_cast<std::uintptr_t>(machine->uc_mcontext.gregs[REG_RIP]);
#elif defined(__i386__)
  return static_cast<std::uintptr_t>(machine->uc_mcontext.gregs[REG_EIP]);
#elif defined(__aarch64__)
  return static_cast<std::uintptr_t>(machine->uc_mcontext.pc);
#else
  return 0;
#endif
}

// A page fault's error code has bit 1 set for a write, on x86.
FaultFacts::Access access_of(const void* context) {
#if defined(__x86_64__) || defined(__i386__)
  const ucontext_t* machine = static_cast<const ucontext_t*>(context);
  if (machine == nullptr) return FaultFacts::kAccessUnknown;
  return (machine->uc_mcontext.gregs[REG_ERR] & 2) != 0 ? FaultFacts::kWrite : FaultFacts::kRead;
#else
  (void)context;
  return FaultFacts::kAccessUnknown;
#endif
}

void note_facts(int signal_number, const siginfo_t* info, const void* context) {
  FaultFacts& facts = fault_facts_to_fill();
  facts.code = static_cast<unsigned long>(signal_number);
  facts.instruction = instruction_of(context);
  // Only these signals say which address was touched.
  facts.has_data_address = signal_number == SIGSEGV || signal_number == SIGBUS;
  facts.data_address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  facts.access = facts.has_data_address ? access_of(context) : FaultFacts::kAccessUnknown;
}

void on_fault(int signal_number, siginfo_t* info, void* context) {
  static FaultLine line;
  note_facts(signal_number, info, context);
  const FaultLine* call = module_call_in_progress();
  line.begin(call, FaultLine::kCrashed);
  std::uintptr_t address = reinterpret_cast<std::uintptr_t>(info->si_addr);
  if (is_stack_overflow(signal_number, address)) {
    line.append("stack overflow");
    line.end();
    finish(line, crash_exit_code(call));
  }
  line.append(signal_description(signal_number, info->si_code));
  if (signal_number != SIGABRT) {
    line.append(" (address ");
    line.append_address(address);
    line.append(")");
  }
  line.end();
  finish(line, crash_exit_code(call));
}

void on_exit_call(int status, void*) {
  const FaultLine* call = module_call_in_progress();
  if (call == nullptr) return;
  static FaultLine line;
  line.begin(call, FaultLine::kEndedProcess);
  line.append_number(status);
  line.end();
  finish(line, fault_exit_codes().ended_process);
}

void* run_watch(void*) {
  watch_module_calls();
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

void install_fault_handlers() {
  decided_code = fault_exit_codes().own_fault;
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
}

WatchTime watch_clock() {
  timespec time;
  clock_gettime(CLOCK_MONOTONIC, &time);
  return static_cast<WatchTime>(time.tv_sec) * kNanosecondsPerSecond +
         static_cast<WatchTime>(time.tv_nsec);
}

WatchTime watch_span(double seconds) {
  time_t whole = static_cast<time_t>(seconds);
  long part = static_cast<long>((seconds - static_cast<double>(whole)) * 1e9);
  return static_cast<WatchTime>(whole) * kNanosecondsPerSecond + static_cast<WatchTime>(part);
}

bool start_watch_thread() {
  pthread_condattr_t attributes;
  pthread_condattr_init(&attributes);
  pthread_condattr_setclock(&attributes, CLOCK_MONOTONIC);
  pthread_cond_init(&watch_wakeup, &attributes);
  pthread_condattr_destroy(&attributes);
  pthread_t thread;
  if (pthread_create(&thread, nullptr, run_watch, nullptr) != 0) return false;
  pthread_detach(thread);
  return true;
}

void lock_watch() {
  pthread_mutex_lock(&watch_lock);
}

void unlock_watch() {
  pthread_mutex_unlock(&watch_lock);
}

void wait_for_watch_wakeup() {
  pthread_cond_wait(&watch_wakeup, &watch_lock);
}

void wait_for_watch_wakeup_until(WatchTime deadline) {
  timespec until;
  until.tv_sec = static_cast<time_t>(deadline / kNanosecondsPerSecond);
  until.tv_nsec = static_cast<long>(deadline % kNanosecondsPerSecond);
  pthread_cond_timedwait(&watch_wakeup, &watch_lock, &until);
}

void wake_watch() {
  pthread_cond_signal(&watch_wakeup);
}

void finish_timed_out_call(const FaultLine& line, int exit_code) {
  finish(line, exit_code);
}
