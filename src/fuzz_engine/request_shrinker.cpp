#include "fuzz_engine/request_shrinker.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <unordered_set>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;
// Far past any run, and near enough that the clock's count cannot overflow.
constexpr double kLongestDeadline = 1e9;

// FNV-1a: a candidate is remembered by its hash alone, since keeping every
// candidate whole would cost up to most_tries copies of the request.
std::uint64_t hash_bytes(const std::string& bytes) {
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (char byte : bytes) {
    hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001B3ull;
  }
  return hash;
}

// The best request so far and what trying another costs.
class Shrinking {
 public:
  Shrinking(std::string request, const FaultPredicate& still_faults, const ShrinkLimits& limits)
      : best_(std::move(request)), still_faults_(still_faults), most_tries_(limits.most_tries) {
    has_deadline_ = limits.deadline_seconds > 0;
    if (has_deadline_) {
      std::chrono::duration<double> seconds(std::min(limits.deadline_seconds, kLongestDeadline));
      deadline_ = Clock::now() + std::chrono::duration_cast<Clock::duration>(seconds);
    }
  }

  bool exhausted() const {
    return tries_ >= most_tries_ || (has_deadline_ && Clock::now() >= deadline_);
  }

  // Tries `candidate` unless it was tried before; true when it still
  // faults, and it is then the best.
  bool take(const std::string& candidate) {
    if (candidate == best_) return false;
    std::uint64_t hash = hash_bytes(candidate);
    if (refused_.count(hash) != 0 || exhausted()) return false;
    ++tries_;
    if (still_faults_(candidate)) {
      best_ = candidate;
      return true;
    }
    refused_.insert(hash);
    return false;
  }

  const std::string& best() const { return best_; }
  std::string take_best() { return std::move(best_); }

 private:
  std::string best_;
  const FaultPredicate& still_faults_;
  std::size_t most_tries_;
  std::size_t tries_ = 0;
  bool has_deadline_ = false;
  Clock::time_point deadline_;
  // Candidates that did not fault. One that did became the best, and every
  // later candidate differs from the best, so none is ever tried twice.
  std::unordered_set<std::uint64_t> refused_;
};

// One pass removing `chunk` bytes at a time from the front on; returns
// whether anything went.
bool remove_chunks(Shrinking& shrinking, std::size_t chunk, std::string& candidate) {
  bool removed = false;
  for (std::size_t at = 0; at < shrinking.best().size() && !shrinking.exhausted();) {
    candidate.assign(shrinking.best(), 0, at);
    candidate.append(shrinking.best(), std::min(at + chunk, shrinking.best().size()),
                     std::string::npos);
    if (shrinking.take(candidate)) {
      removed = true;  // the bytes after the chunk now stand at `at`
    } else {
      at += chunk;
    }
  }
  return removed;
}

// A letter reads most plainly, then a digit, then a blank: the first of
// them that keeps the fault stays.
constexpr char kPlainBytes[] = {'a', '0', ' '};

void simplify_bytes(Shrinking& shrinking, std::string& candidate) {
  for (std::size_t at = 0; at < shrinking.best().size() && !shrinking.exhausted(); ++at) {
    for (char plain : kPlainBytes) {
      if (shrinking.best()[at] == plain) break;
      candidate = shrinking.best();
      candidate[at] = plain;
      if (shrinking.take(candidate)) break;
    }
  }
}

}  // namespace

std::string shrink_request(std::string request, const FaultPredicate& still_faults,
                           const ShrinkLimits& limits) {
  Shrinking shrinking(std::move(request), still_faults, limits);
  std::string candidate;
  // A module that faults on any request at all is the commonest case, and
  // one try settles it.
  if (shrinking.take(candidate)) return shrinking.take_best();
  // Large chunks first, which halve the request in one try when they can.
  // Halving rounds up so that every size down to 2 is reached: seven lead
  // bytes lose nothing to chunks of 3 or 1, since lead bytes pair up. A round
  // that removed anything is followed by another, since a removal can make a
  // byte removable that was not before.
  for (bool removed = true; removed && !shrinking.exhausted();) {
    removed = false;
    for (std::size_t chunk = (shrinking.best().size() + 1) / 2;; chunk = (chunk + 1) / 2) {
      if (remove_chunks(shrinking, std::max<std::size_t>(chunk, 1), candidate)) removed = true;
      if (chunk <= 1) break;
    }
  }
  if (limits.simplify_bytes) simplify_bytes(shrinking, candidate);
  return shrinking.take_best();
}
