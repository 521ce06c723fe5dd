#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "platform/child_process.h"

extern char** environ;

struct ChildProcess {
  pid_t pid = -1;
  int input = -1;   // the parent's end of the pipe to the child's input
  int output = -1;  // the parent's end of the pipe from the child's output
  bool ended = false;
  ChildEnd end{ChildEndKind::kRunning, 0};
};

namespace {

using Clock = std::chrono::steady_clock;

// How often a read that waits looks whether the child has ended.
constexpr int kEndLookMs = 10;

void close_descriptor(int& descriptor) {
  if (descriptor >= 0) close(descriptor);
  descriptor = -1;
}

// Both ends are closed on exec: the child gets its own end by dup2, which
// clears the flag on the copy, and no later child inherits a parent's end.
// An end that landed on 0, 1 or 2 (a parent started with one closed) is
// moved above them, or dup2 onto itself would leave the flag set.
bool make_pipe(int ends[2]) {
  if (pipe2(ends, O_CLOEXEC) != 0) return false;
  for (int i = 0; i < 2; ++i) {
    if (ends[i] > 2) continue;
    int moved = fcntl(ends[i], F_DUPFD_CLOEXEC, 3);
    close(ends[i]);
    ends[i] = moved;
  }
  if (ends[0] >= 0 && ends[1] >= 0) return true;
  close_descriptor(ends[0]);
  close_descriptor(ends[1]);
  return false;
}

// The milliseconds left before `deadline`, for poll; -1 waits forever.
int milliseconds_left(bool forever, Clock::time_point deadline) {
  if (forever) return -1;
  // Rounded up: a wait that ends early would time out before the deadline.
  auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<long long>(0, left.count()));
}

ChildEnd end_from_status(int status) {
  if (WIFSIGNALED(status)) return {ChildEndKind::kSignalled, std::uint32_t(WTERMSIG(status))};
  return {ChildEndKind::kExited, std::uint32_t(WEXITSTATUS(status))};
}

// One waitpid; true when it settled how the child ended.
bool reap(ChildProcess* child, int options) {
  int status = 0;
  pid_t result;
  do {
    result = waitpid(child->pid, &status, options);
  } while (result < 0 && errno == EINTR);
  if (result == 0) return false;
  child->ended = true;
  child->end = result < 0 ? ChildEnd{ChildEndKind::kLost, 0} : end_from_status(status);
  return true;
}

}  // namespace

ChildProcess* start_child(const std::string& program, const std::vector<std::string>& arguments,
                          ChildStreams streams) {
  int input[2] = {-1, -1};
  int output[2] = {-1, -1};
  bool piped_input = streams.input == ChildStream::kPipe;
  bool piped_output = streams.output == ChildStream::kPipe;
  if ((piped_input && !make_pipe(input)) || (piped_output && !make_pipe(output))) {
    for (int* end : {&input[0], &input[1], &output[0], &output[1]}) close_descriptor(*end);
    return nullptr;
  }

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (piped_input) posix_spawn_file_actions_adddup2(&actions, input[0], 0);
  if (piped_output) posix_spawn_file_actions_adddup2(&actions, output[1], 1);
  if (streams.discard_errors) {
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  }
  pid_t pid = -1;
  int failed = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);

  // The child's ends are the child's alone now: the parent keeping one
  // would hide the child's end of the stream from the other side.
  close_descriptor(input[0]);
  close_descriptor(output[1]);
  if (failed != 0) {
    close_descriptor(input[1]);
    close_descriptor(output[0]);
    return nullptr;
  }
  ChildProcess* child = new ChildProcess;
  child->pid = pid;
  child->input = input[1];
  child->output = output[0];
  return child;
}

bool write_to_child(ChildProcess* child, const void* bytes, std::size_t length) {
  if (child->input < 0) return false;
  // A write to a pipe nobody reads raises SIGPIPE, which would end the
  // parent. It is blocked for this thread during the write, and one the
  // write raised is taken off again before it is unblocked; one that was
  // pending before is left for the parent as it was.
  sigset_t pipe_signal, previous, pending;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
  sigpending(&pending);
  bool was_pending = sigismember(&pending, SIGPIPE) == 1;

  const char* next = static_cast<const char*>(bytes);
  std::size_t left = length;
  bool broken = false;
  while (left > 0) {
    ssize_t written = write(child->input, next, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      broken = written < 0 && errno == EPIPE;
      break;
    }
    next += written;
    left -= static_cast<std::size_t>(written);
  }

  if (broken && !was_pending) {
    const timespec no_wait{0, 0};
    while (sigtimedwait(&pipe_signal, nullptr, &no_wait) < 0 && errno == EINTR) {
    }
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return left == 0;
}

void close_child_input(ChildProcess* child) {
  close_descriptor(child->input);
}

ReadResult read_from_child(ChildProcess* child, void* buffer, std::size_t size, int timeout_ms) {
  if (child->output < 0) return {ReadStatus::kEnd, 0};
  if (size == 0) return {ReadStatus::kBytes, 0};
  bool forever = timeout_ms < 0;
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeout_ms);
  for (;;) {
    // A process the child started may hold the pipe open long after the
    // child ended: the child's end is the stream's end, once what it wrote
    // before is read. The wait is cut into slices to look at the child.
    bool ended = child->ended || reap(child, WNOHANG);
    int left = ended ? 0 : milliseconds_left(forever, deadline);
    pollfd ready{child->output, POLLIN, 0};
    int polled = poll(&ready, 1, left < 0 ? kEndLookMs : std::min(left, kEndLookMs));
    if (polled < 0 && errno == EINTR) continue;
    if (polled < 0) return {ReadStatus::kEnd, 0};
    if (polled == 0 && ended) return {ReadStatus::kEnd, 0};
    if (polled == 0 && milliseconds_left(forever, deadline) == 0) {
      return {ReadStatus::kTimedOut, 0};
    }
    if (polled == 0) continue;
    // Readable, or hung up: read tells bytes from the end.
    ssize_t got = read(child->output, buffer, size);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return {ReadStatus::kEnd, 0};
    return {ReadStatus::kBytes, static_cast<std::size_t>(got)};
  }
}

ChildEnd wait_for_child(ChildProcess* child, int timeout_ms) {
  if (child->ended) return child->end;
  if (timeout_ms < 0) {
    reap(child, 0);
    return child->end;
  }
  // waitpid cannot wait for a time, so it is asked again and again, less
  // often the longer the child runs.
  Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  long pause_ms = 1;
  while (!reap(child, WNOHANG)) {
    int left = milliseconds_left(false, deadline);
    if (left == 0) return {ChildEndKind::kRunning, 0};
    long pause = std::min<long>(pause_ms, left);
    timespec interval{pause / 1000, (pause % 1000) * 1000000L};
    nanosleep(&interval, nullptr);
    pause_ms = std::min<long>(pause_ms * 2, 20);
  }
  return child->end;
}

void kill_child(ChildProcess* child) {
  // An ended child's number may already belong to another process.
  if (!child->ended) kill(child->pid, SIGKILL);
}

void end_child(ChildProcess* child) {
  if (child == nullptr) return;
  close_descriptor(child->input);
  close_descriptor(child->output);
  if (!child->ended && wait_for_child(child, 0).kind == ChildEndKind::kRunning) {
    kill_child(child);
    wait_for_child(child, -1);
  }
  delete child;
}
