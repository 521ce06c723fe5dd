#pragma once

// The parent's side of the module host: starts this program again as
// `--host`, sends it frames and reads its answers with a time limit, so
// that a module that crashes, hangs or ends the process ends the child and
// the parent says how.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/check_frames.h"
#include "host/host_protocol.h"

struct ChildProcess;
struct HostState;

// How the host ended, or that it is still there.
struct HostEnd {
  enum Kind {
    kRunning,     // it has not ended
    kNotStarted,  // it could not be started
    kExited,      // `code` is its exit code: 3 a crash, 4 a timeout, 5 a module's exit
    kSignalled,   // `code` is the signal that ended it (POSIX only)
    kNoAnswer,    // it did not answer within `seconds` and was killed
    kBadAnswer,   // it answered what is no answer to the frame, and was killed
    kLost,        // the system would not say how it ended
  };
  Kind kind = kNotStarted;
  std::uint32_t code = 0;
  double seconds = 0;
};

// One line for the user, no line feed, such as "crashed in a module call
// (exit code 3)".
std::string describe_host_end(const HostEnd& end);

// What a request came to.
struct HostReply {
  enum Kind { kReply, kRefused, kEnded };
  Kind kind = kEnded;
  std::string bytes;                   // kReply
  Refusal refusal = Refusal::kNoList;  // kRefused
};

// One host child at a time. Every call but start and end answers false (or
// kEnded) once the child has ended; end() then says how.
class ModuleHost {
 public:
  ModuleHost() = default;
  ~ModuleHost();  // kills a child still running
  ModuleHost(const ModuleHost&) = delete;
  ModuleHost& operator=(const ModuleHost&) = delete;

  // Starts `program` (empty: this very program) with --host; a `quiet` one
  // with its standard error discarded. False when it could not be started,
  // or runs already.
  bool start(const std::string& program = "", bool quiet = false);
  // Serves the frames in this very process instead, binding from saori.ini
  // in `directory`: for a debugger. A fault then ends this process.
  bool start_in_process(const std::string& directory);
  // Binds every module of the list, or only those named `only`; `quietly`
  // without the binding lines, and with the contract warnings left to the
  // parent to tell.
  bool bind(double timeout_seconds, std::vector<BoundModule>& modules,
            std::string_view only = std::string_view(), bool quietly = false);
  HostReply request(std::string_view module, std::string_view bytes, double timeout_seconds);
  // The validator's orders (check_frames.h).
  HostReply padded_request(const PaddedRequestOrder& order, double timeout_seconds);
  // A fuzz order in two halves, so that several hosts fuzz at once: the
  // order is sent, and its result awaited later.
  bool send_fuzz(const FuzzOrder& order);
  bool await_fuzz(double timeout_seconds, FuzzResult& result);
  // Waits at most `wait_seconds` for that result and, unlike await_fuzz,
  // leaves a host that has not answered yet running: several hosts' loops
  // are looked after in turn.
  enum class Wait { kAnswered, kEnded, kPending };
  Wait poll_fuzz(double wait_seconds, FuzzResult& result);
  // `tick`, when given, is called with the seconds waited so far about
  // four times a second until the answer comes: for a status line.
  bool repeat(const RepeatOrder& order, double timeout_seconds, RepeatResult& result,
              const std::function<void(double)>& tick = {});
  bool release(double timeout_seconds);
  // The guarded heap for the modules bound after it, for one request in
  // `share` (1: every one; 0: none).
  bool guard(unsigned share, double timeout_seconds);
  bool memory(double timeout_seconds, std::uint64_t& resident, std::uint64_t& peak);
  bool unload(double timeout_seconds);
  // Asks the host to quit and waits for it; returns how it ended.
  HostEnd stop(double timeout_seconds);

  bool running() const { return child_ != nullptr || engine_ != nullptr; }
  const HostEnd& end() const { return end_; }
  // The contract warnings that came with the last answer, and, once the
  // host ended in a fault, the request that was in the module's hands (false
  // when the host did not say).
  const std::vector<std::string>& warnings() const { return warnings_; }
  bool request_at_fault(std::string& request) const;
  // Once the host ended in a fault: what it was and where, when it said.
  bool fault_report(FaultReport& report) const;
  // The requests fuzz loops kept for new coverage since the last call,
  // those of a loop that ended in a fault included, and their coverage
  // notes (`kept` false).
  std::vector<CorpusEntry> take_corpus_entries() { return std::move(corpus_entries_); }

 private:
  // Sends one frame and waits for one answer of type `expected`. False, the
  // child then ended, when none came.
  bool exchange(FrameType type, std::string_view payload, FrameType expected,
                double timeout_seconds, Frame& answer);
  bool send(FrameType type, std::string_view payload);
  bool await_answer(FrameType expected, double timeout_seconds, Frame& answer);
  // The same up to `deadline`; kPending when nothing came by then, the host
  // left running.
  Wait wait_for(FrameType expected, std::chrono::steady_clock::time_point deadline,
                double timeout_seconds, Frame& answer);
  void finish(HostEnd::Kind kind, double seconds);
  static std::chrono::steady_clock::time_point deadline_after(double seconds);
  void collect_end(int timeout_ms, double seconds);

  bool answer_in_process(std::string_view frame);
  HostReply reply_of(bool answered, Frame& answer, double timeout_seconds);

  ChildProcess* child_ = nullptr;
  HostState* engine_ = nullptr;
  FrameDecoder decoder_;
  HostEnd end_;
  std::vector<std::string> warnings_;
  std::string request_at_fault_;
  bool has_request_at_fault_ = false;
  FaultReport fault_report_;
  bool has_fault_report_ = false;
  std::vector<CorpusEntry> corpus_entries_;
};
