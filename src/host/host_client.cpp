#include "host/host_client.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "host/host_engine.h"
#include "platform/child_process.h"
#include "platform/files.h"
#include "run_terms/exit_code.h"

namespace {

using Clock = std::chrono::steady_clock;

// A child whose output has ended is on its way out: it gets this long to
// be gone, even when the answer's time is up.
constexpr int kEndingGraceMs = 2000;

int milliseconds_left(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

Clock::time_point ModuleHost::deadline_after(double seconds) {
  return Clock::now() +
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

ModuleHost::~ModuleHost() {
  end_child(child_);
  if (engine_ != nullptr) {
    end_host_state(*engine_);
    delete engine_;
  }
}

bool ModuleHost::start_in_process(const std::string& directory) {
  if (running()) return false;
  engine_ = new HostState;
  start_host_state(*engine_, directory);
  decoder_ = FrameDecoder();
  end_ = HostEnd{};
  end_.kind = HostEnd::kRunning;
  return true;
}

bool ModuleHost::answer_in_process(std::string_view frame) {
  FrameDecoder decoder;
  decoder.feed(frame.data(), frame.size());
  Frame order;
  decoder.next(order);
  std::string out;
  bool goes_on = serve_frame(*engine_, order, out);
  decoder_.feed(out.data(), out.size());
  if (!goes_on) {
    end_host_state(*engine_);
    delete engine_;
    engine_ = nullptr;
    end_.kind = HostEnd::kExited;
  }
  return true;
}

bool ModuleHost::fault_report(FaultReport& report) const {
  if (has_fault_report_) report = fault_report_;
  return has_fault_report_;
}

bool ModuleHost::request_at_fault(std::string& request) const {
  if (has_request_at_fault_) request = request_at_fault_;
  return has_request_at_fault_;
}

bool ModuleHost::start(const std::string& program, bool quiet) {
  if (running()) return false;
  std::string path = program;
  if (path.empty()) get_executable_path(path);
  child_ = start_child(path, {"--host"}, {ChildStream::kPipe, ChildStream::kPipe, quiet});
  decoder_ = FrameDecoder();
  has_request_at_fault_ = false;
  has_fault_report_ = false;
  end_ = HostEnd{};
  end_.kind = child_ != nullptr ? HostEnd::kRunning : HostEnd::kNotStarted;
  return child_ != nullptr;
}

void ModuleHost::finish(HostEnd::Kind kind, double seconds) {
  if (child_ != nullptr) {
    kill_child(child_);
    wait_for_child(child_, -1);
    end_child(child_);
    child_ = nullptr;
  }
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
  return send(type, payload) && await_answer(expected, timeout_seconds, answer);
}

bool ModuleHost::send(FrameType type, std::string_view payload) {
  if (!running()) return false;
  warnings_.clear();
  std::string frame = encode_frame(type, payload);
  if (engine_ != nullptr) return answer_in_process(frame);
  // A child that is gone takes no bytes; its output then ends at once.
  write_to_child(child_, frame.data(), frame.size());
  return true;
}

bool ModuleHost::await_answer(FrameType expected, double timeout_seconds, Frame& answer) {
  Wait wait = wait_for(expected, deadline_after(timeout_seconds), timeout_seconds, answer);
  if (wait == Wait::kPending) finish(HostEnd::kNoAnswer, timeout_seconds);
  return wait == Wait::kAnswered;
}

ModuleHost::Wait ModuleHost::wait_for(FrameType expected, Clock::time_point deadline,
                                      double timeout_seconds, Frame& answer) {
  char buffer[64 * 1024];
  for (;;) {
    if (decoder_.next(answer)) {
      if (answer.type == FrameType::kWarning) {
        warnings_.push_back(std::move(answer.payload));
        continue;
      }
      if (answer.type == FrameType::kFaultPlace) {
        has_fault_report_ = decode(answer.payload, fault_report_);
        continue;
      }
      if (answer.type == FrameType::kCoverage) {
        CoverageNote note;
        if (decode(answer.payload, note))
          corpus_entries_.push_back({note.edges, std::string(), false});
        continue;
      }
      if (answer.type == FrameType::kCorpusEntry) {
        CorpusEntry entry;
        if (decode(answer.payload, entry)) corpus_entries_.push_back(std::move(entry));
        continue;
      }
      if (answer.type == FrameType::kRequestAtFault) {
        request_at_fault_ = std::move(answer.payload);
        has_request_at_fault_ = true;
        continue;
      }
      if (answer.type == expected || answer.type == FrameType::kRefused) return Wait::kAnswered;
      finish(HostEnd::kBadAnswer, timeout_seconds);
      return Wait::kEnded;
    }
    if (decoder_.broken() || child_ == nullptr) {
      finish(HostEnd::kBadAnswer, timeout_seconds);
      return Wait::kEnded;
    }
    int left = milliseconds_left(deadline);
    ReadResult read = left > 0 ? read_from_child(child_, buffer, sizeof buffer, left)
                               : ReadResult{ReadStatus::kTimedOut, 0};
    if (read.status == ReadStatus::kBytes) {
      decoder_.feed(buffer, read.length);
    } else if (read.status == ReadStatus::kEnd) {
      collect_end(milliseconds_left(deadline), timeout_seconds);
      return Wait::kEnded;
    } else if (milliseconds_left(deadline) == 0) {
      return Wait::kPending;
    }
  }
}

bool ModuleHost::bind(double timeout_seconds, std::vector<BoundModule>& modules,
                      std::string_view only, bool quietly) {
  Frame answer;
  FrameType type = quietly ? FrameType::kBindQuietly : FrameType::kBind;
  if (!exchange(type, only, FrameType::kBound, timeout_seconds, answer)) return false;
  if (answer.type == FrameType::kBound && decode_bound(answer.payload, modules)) return true;
  finish(HostEnd::kBadAnswer, timeout_seconds);
  return false;
}

HostReply ModuleHost::request(std::string_view module, std::string_view bytes,
                              double timeout_seconds) {
  Frame answer;
  bool answered = exchange(FrameType::kRequest, request_payload(module, bytes), FrameType::kReply,
                           timeout_seconds, answer);
  return reply_of(answered, answer, timeout_seconds);
}

HostReply ModuleHost::padded_request(const PaddedRequestOrder& order, double timeout_seconds) {
  Frame answer;
  bool answered = exchange(FrameType::kPaddedRequest, encode(order), FrameType::kReply,
                           timeout_seconds, answer);
  return reply_of(answered, answer, timeout_seconds);
}

HostReply ModuleHost::reply_of(bool answered, Frame& answer, double timeout_seconds) {
  HostReply reply;
  if (!answered) return reply;
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
  } else if (child_ != nullptr) {
    close_child_input(child_);
    collect_end(milliseconds_left(deadline), timeout_seconds);
  }
  return end_;
}
