// The validator's long orders on the parent's side: the fuzz loop sent
// and awaited in two halves, the leak check's repeated request with its
// progress, the release and the guard.

#include <algorithm>
#include <chrono>

#include "host/host_client.h"

using Clock = std::chrono::steady_clock;

bool ModuleHost::send_fuzz(const FuzzOrder& order) {
  return send(FrameType::kFuzz, encode(order));
}

ModuleHost::Wait ModuleHost::poll_fuzz(double wait_seconds, FuzzResult& result) {
  Frame answer;
  Wait wait = wait_for(FrameType::kFuzzed, deadline_after(wait_seconds), wait_seconds, answer);
  if (wait == Wait::kAnswered &&
      !(answer.type == FrameType::kFuzzed && decode(answer.payload, result))) {
    finish(HostEnd::kBadAnswer, wait_seconds);
    return Wait::kEnded;
  }
  return wait;
}

bool ModuleHost::await_fuzz(double timeout_seconds, FuzzResult& result) {
  Frame answer;
  return await_answer(FrameType::kFuzzed, timeout_seconds, answer) &&
         answer.type == FrameType::kFuzzed && decode(answer.payload, result);
}

bool ModuleHost::repeat(const RepeatOrder& order, double timeout_seconds, RepeatResult& result,
                        const std::function<void(double)>& tick) {
  if (!send(FrameType::kRepeat, encode(order))) return false;
  Clock::time_point start = Clock::now();
  Clock::time_point deadline = deadline_after(timeout_seconds);
  Frame answer;
  for (;;) {
    Clock::time_point until =
        tick ? std::min(deadline, Clock::now() + std::chrono::milliseconds(250)) : deadline;
    Wait wait = wait_for(FrameType::kRepeated, until, timeout_seconds, answer);
    if (wait == Wait::kEnded) return false;
    if (wait == Wait::kAnswered) break;
    if (Clock::now() >= deadline) {
      finish(HostEnd::kNoAnswer, timeout_seconds);
      return false;
    }
    tick(std::chrono::duration<double>(Clock::now() - start).count());
  }
  return answer.type == FrameType::kRepeated && decode(answer.payload, result);
}

bool ModuleHost::release(double timeout_seconds) {
  Frame answer;
  return exchange(FrameType::kRelease, "", FrameType::kDone, timeout_seconds, answer) &&
         answer.type == FrameType::kDone;
}

bool ModuleHost::guard(unsigned share, double timeout_seconds) {
  Frame answer;
  return exchange(FrameType::kGuard, std::to_string(share), FrameType::kDone, timeout_seconds,
                  answer) &&
         answer.type == FrameType::kDone;
}
