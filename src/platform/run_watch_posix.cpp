// The watch from outside natively, for a run that asks for it: the worker
// is a fork that shares the record with its watcher.

#include <errno.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

#include <cstdio>
#include <new>

#include "platform/fault_watch.h"
#include "platform/run_watch.h"

RunRole watch_run_from_outside(RunRecord** record, WorkerEnd* end, bool whole_report_needed) {
  *record = &run_record();
  end->exit_code = 0;
  end->signal_number = 0;
  end->exited = false;
  if (!whole_report_needed) return RunRole::kWorker;
  void* shared =
      mmap(nullptr, sizeof(RunRecord), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (shared == MAP_FAILED) return RunRole::kWorker;
  // Nothing buffered may be written twice, once by each side.
  std::fflush(nullptr);
  pid_t parent = getpid();
  pid_t worker = fork();
  if (worker < 0) {
    // Unwatched, the run is still the run.
    munmap(shared, sizeof(RunRecord));
    return RunRole::kWorker;
  }
  if (worker == 0) {
#if defined(__linux__)
    // A parent that kills a run that does not answer kills the watcher; the
    // worker must not go on in its module call holding the pipes.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(1);
#endif
    // Fresh anonymous pages are zero already: no clearing of the record.
    *record = new (shared) RunRecord;
    keep_run_record_in(*record);
    return RunRole::kWorker;
  }
  int status = 0;
  while (waitpid(worker, &status, 0) < 0) {
    if (errno != EINTR) return RunRole::kWatcher;
  }
  if (WIFSIGNALED(status)) {
    end->signal_number = WTERMSIG(status);
    end->exit_code = 128 + static_cast<unsigned long>(end->signal_number);
  } else {
    end->exit_code = static_cast<unsigned long>(WEXITSTATUS(status));
    end->exited = true;
  }
  *record = static_cast<RunRecord*>(shared);
  return RunRole::kWatcher;
}

void describe_worker_end(const WorkerEnd& end, FaultLine& line) {
  if (end.signal_number == 0) {
    line.append("exit code ");
    line.append_number(static_cast<long>(end.exit_code));
    return;
  }
  line.append("signal ");
  line.append_number(end.signal_number);
  const char* name = strsignal(end.signal_number);
  if (name == nullptr) return;
  line.append(" (");
  line.append(name);
  line.append(")");
}
