// The watch from outside on Windows: the first modtest of a run is the
// watcher. It makes a record that its worker inherits, starts itself again
// with the same command line and standard handles, and waits.

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <new>

#include "platform/fault_watch.h"
#include "platform/run_watch.h"

namespace {

// Names the worker's record, as the number of the handle it inherits.
constexpr char kRecordVariable[] = "MODTEST_RUN_RECORD";

RunRecord* map_record(HANDLE mapping) {
  return static_cast<RunRecord*>(
      MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, sizeof(RunRecord)));
}

// The worker: the record its watcher made, taken over before any module
// call. The variable goes at once, so that no program a module starts
// takes itself for a worker.
bool become_worker(RunRecord** record) {
  char number[32];
  DWORD length = GetEnvironmentVariableA(kRecordVariable, number, sizeof number);
  if (length == 0 || length >= sizeof number) return false;
  SetEnvironmentVariableA(kRecordVariable, nullptr);
  HANDLE mapping =
      reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(number, nullptr, 10)));
  RunRecord* mapped = map_record(mapping);
  CloseHandle(mapping);
  if (mapped == nullptr) return false;
  *record = new (mapped) RunRecord{};
  keep_run_record_in(*record);
  return true;
}

// A standard handle as the worker inherits it; the handle itself when it
// is none or cannot be copied.
HANDLE inheritable(DWORD which) {
  HANDLE handle = GetStdHandle(which);
  HANDLE copy = nullptr;
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE ||
      !DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), &copy, 0, TRUE,
                       DUPLICATE_SAME_ACCESS)) {
    return handle;
  }
  return copy;
}

void close_copy(HANDLE copy, DWORD which) {
  if (copy != GetStdHandle(which) && copy != nullptr && copy != INVALID_HANDLE_VALUE) {
    CloseHandle(copy);
  }
}

// A job that ends the worker when the watcher ends, however it ends: a
// parent that kills a run that does not answer kills the watcher, and the
// worker must not go on in its module call holding the pipes. Programs the
// worker starts stay out of it, and live as they would without a watcher.
// Null where the system has no such job for it.
HANDLE worker_job() {
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags =
      JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_SILENT_BREAKAWAY_OK;
  if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job);
    return nullptr;
  }
  return job;
}

// Starts the worker and waits for it. False, with nothing left running,
// when it could not be started.
bool run_worker(HANDLE mapping, WorkerEnd* end) {
  char number[32];
  std::snprintf(number, sizeof number, "%llu",
                static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(mapping)));
  wchar_t program[32768];
  DWORD length = GetModuleFileNameW(nullptr, program, 32768);
  if (length == 0 || length >= 32768) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = inheritable(STD_INPUT_HANDLE);
  startup.hStdOutput = inheritable(STD_OUTPUT_HANDLE);
  startup.hStdError = inheritable(STD_ERROR_HANDLE);
  PROCESS_INFORMATION process{};
  SetEnvironmentVariableA(kRecordVariable, number);
  // The command line is the one this process was given, byte for byte.
  // Suspended until it is in its job, so that nothing it starts escapes.
  BOOL started = CreateProcessW(program, GetCommandLineW(), nullptr, nullptr, TRUE,
                                CREATE_SUSPENDED, nullptr, nullptr, &startup, &process);
  SetEnvironmentVariableA(kRecordVariable, nullptr);
  close_copy(startup.hStdInput, STD_INPUT_HANDLE);
  close_copy(startup.hStdOutput, STD_OUTPUT_HANDLE);
  close_copy(startup.hStdError, STD_ERROR_HANDLE);
  if (!started) return false;
  HANDLE job = worker_job();
  if (job != nullptr && !AssignProcessToJobObject(job, process.hProcess)) {
    CloseHandle(job);
    job = nullptr;
  }
  ResumeThread(process.hThread);
  CloseHandle(process.hThread);
  DWORD code = 0;
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  if (job != nullptr) CloseHandle(job);
  end->exit_code = code;
  return true;
}

}  // namespace

RunRole watch_run_from_outside(RunRecord** record, WorkerEnd* end, bool) {
  end->exit_code = 0;
  end->signal_number = 0;
  end->exited = false;
  *record = &run_record();
  if (become_worker(record)) return RunRole::kWorker;
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, &inherited, PAGE_READWRITE, 0,
                                      sizeof(RunRecord), nullptr);
  if (mapping == nullptr) return RunRole::kWorker;
  RunRecord* mapped = map_record(mapping);
  if (mapped == nullptr || !run_worker(mapping, end)) {
    // Unwatched, the run is still the run; only a fault without a word
    // would go unreported.
    if (mapped != nullptr) UnmapViewOfFile(mapped);
    CloseHandle(mapping);
    return RunRole::kWorker;
  }
  // Mapped for the rest of the watcher's short life.
  CloseHandle(mapping);
  *record = mapped;
  return RunRole::kWatcher;
}

void describe_worker_end(const WorkerEnd& end, FaultLine& line) {
  char digits[32];
  std::snprintf(digits, sizeof digits, "exit status 0x%08lX", end.exit_code & 0xFFFFFFFFul);
  line.append(digits);
  // What the common ones mean to a module writer.
  switch (end.exit_code) {
    case 0xC0000409ul:
      line.append(", a fail-fast (the module's own check found its stack or heap corrupted)");
      break;
    case 0xC0000005ul:
      line.append(", an access violation");
      break;
    case 0xC00000FDul:
      line.append(", a stack overflow");
      break;
  }
}
