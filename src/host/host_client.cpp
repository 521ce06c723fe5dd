#include "host/host_client.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "driver/exit_code.h"
#include "platform/child_process.h"
#include "platform/files.h"

namespace {

using Clock = std::chrono::steady_clock;

// A child whose output has ended is on its way out: it gets this long to
// be gone, even when the answer's time is up.
constexpr int kEndingGraceMs = 2000;

int milliseconds_left(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

Clock::time_point deadline_after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

}  // namespace

std::string describe_host_end(const HostEnd& end) {
  char text[96];
  switch (end.kind) {
    case HostEnd::kRunning:
      return "is still running";
    case HostEnd::kNotStarted:
      return "could not be started";
    case HostEnd::kExited:
      switch (end.code) {
        case kExitModuleCrashed:
          return "crashed in a module call (exit code 3)";
        case kExitModuleTimedOut:
          return "ended a module call that did not return in time (exit code 4)";
        case kExitModuleEndedProcess:
          return "was ended by a module inside a call (exit code 5)";
      }
      std::snprintf(text, sizeof text, "exited with code %lu",
                    static_cast<unsigned long>(end.code));
      return text;
    case HostEnd::kSignalled:
      std::snprintf(text, sizeof text, "was ended by signal %lu",
                    static_cast<unsigned long>(end.code));
      return text;
    case HostEnd::kNoAnswer:
      std::snprintf(text, sizeof text, "did not answer within %g s", end.seconds);
      return text;
    case HostEnd::kBadAnswer:
      return "answered with something that is no answer";
    case HostEnd::kLost:
      return "ended, the system will not say how";
  }
  return "ended";
}

ModuleHost::~ModuleHost() {
  end_child(child_);
}

bool ModuleHost::start(const std::string& program) {
  if (child_ != nullptr) return false;
  std::string path = program;
  if (path.empty()) get_executable_path(path);
  child_ = start_child(path, {"--host"}, {ChildStream::kPipe, ChildStream::kPipe});
  decoder_ = FrameDecoder();
  end_ = HostEnd{};
  end_.kind = child_ != nullptr ? HostEnd::kRunning : HostEnd::kNotStarted;
  return child_ != nullptr;
}

void ModuleHost::finish(HostEnd::Kind kind, double seconds) {
  kill_child(child_);
  wait_for_child(child_, -1);
  end_child(child_);
  child_ = nullptr;
  end_.kind = kind;
  end_.code = 0;
  end_.seconds = seconds;
}

// The child closed its output: it is ending, and says how once it has.
void ModuleHost::collect_end(int timeout_ms, double seconds) {
  ChildEnd ended = wait_for_child(child_, std::max(timeout_ms, kEndingGraceMs));
  if (ended.kind == ChildEndKind::kRunning) return finish(HostEnd::kNoAnswer, seconds);
  end_child(child_);
  child_ = nullptr;
  end_.code = ended.code;
  end_.kind = ended.kind == ChildEndKind::kExited      ? HostEnd::kExited
              : ended.kind == ChildEndKind::kSignalled ? HostEnd::kSignalled
                                                       : HostEnd::kLost;
}

bool ModuleHost::exchange(FrameType type, std::string_view payload, FrameType expected,
                          double timeout_seconds, Frame& answer) {
  if (child_ == nullptr) return false;
  Clock::time_point deadline = deadline_after(timeout_seconds);
  std::string frame = encode_frame(type, payload);
  // A child that is gone takes no bytes; its output then ends at once.
  write_to_child(child_, frame.data(), frame.size());
  char buffer[64 * 1024];
  for (;;) {
    if (decoder_.next(answer)) {
      if (answer.type == expected || answer.type == FrameType::kRefused) return true;
      finish(HostEnd::kBadAnswer, timeout_seconds);
      return false;
    }
    if (decoder_.broken()) {
      finish(HostEnd::kBadAnswer, timeout_seconds);
      return false;
    }
    int left = milliseconds_left(deadline);
    ReadResult read = left > 0 ? read_from_child(child_, buffer, sizeof buffer, left)
                               : ReadResult{ReadStatus::kTimedOut, 0};
    if (read.status == ReadStatus::kBytes) {
      decoder_.feed(buffer, read.length);
    } else if (read.status == ReadStatus::kEnd) {
      collect_end(milliseconds_left(deadline), timeout_seconds);
      return false;
    } else if (milliseconds_left(deadline) == 0) {
      finish(HostEnd::kNoAnswer, timeout_seconds);
      return false;
    }
  }
}

bool ModuleHost::bind(double timeout_seconds, std::vector<BoundModule>& modules) {
  Frame answer;
  if (!exchange(FrameType::kBind, "", FrameType::kBound, timeout_seconds, answer)) return false;
  if (answer.type == FrameType::kBound && decode_bound(answer.payload, modules)) return true;
  finish(HostEnd::kBadAnswer, timeout_seconds);
  return false;
}

HostReply ModuleHost::request(std::string_view module, std::string_view bytes,
                              double timeout_seconds) {
  HostReply reply;
  Frame answer;
  if (!exchange(FrameType::kRequest, request_payload(module, bytes), FrameType::kReply,
                timeout_seconds, answer)) {
    return reply;
  }
  if (answer.type == FrameType::kReply) {
    reply.kind = HostReply::kReply;
    reply.bytes = std::move(answer.payload);
  } else if (decode_refused(answer.payload, reply.refusal)) {
    reply.kind = HostReply::kRefused;
  } else {
    finish(HostEnd::kBadAnswer, timeout_seconds);
  }
  return reply;
}

bool ModuleHost::memory(double timeout_seconds, std::uint64_t& resident, std::uint64_t& peak) {
  Frame answer;
  if (!exchange(FrameType::kMemory, "", FrameType::kMemoryInUse, timeout_seconds, answer)) {
    return false;
  }
  if (answer.type == FrameType::kMemoryInUse && decode_memory(answer.payload, resident, peak)) {
    return true;
  }
  finish(HostEnd::kBadAnswer, timeout_seconds);
  return false;
}

bool ModuleHost::unload(double timeout_seconds) {
  Frame answer;
  if (!exchange(FrameType::kUnload, "", FrameType::kDone, timeout_seconds, answer)) return false;
  if (answer.type == FrameType::kDone) return true;
  finish(HostEnd::kBadAnswer, timeout_seconds);
  return false;
}

HostEnd ModuleHost::stop(double timeout_seconds) {
  Clock::time_point deadline = deadline_after(timeout_seconds);
  Frame answer;
  if (!exchange(FrameType::kQuit, "", FrameType::kDone, timeout_seconds, answer)) return end_;
  if (answer.type != FrameType::kDone) {
    finish(HostEnd::kBadAnswer, timeout_seconds);
  } else {
    close_child_input(child_);
    collect_end(milliseconds_left(deadline), timeout_seconds);
  }
  return end_;
}
