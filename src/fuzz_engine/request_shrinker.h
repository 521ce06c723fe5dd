#pragma once

// Shrinking a request that makes a module fault down to the few bytes that
// matter, so that a report shows a request a person can read and replay.

#include <cstddef>
#include <functional>
#include <string>

struct ShrinkLimits {
  // Each try runs the module in a fresh process, tens of milliseconds each
  // and more under Wine, so a shrink is bounded by tries as well as by time.
  std::size_t most_tries = 1000;
  // Wall-clock seconds for the whole shrink; 0 for none.
  double deadline_seconds = 0;
  // Whether each byte left is then tried as 'a', '0' and ' ', which read
  // more plainly than what the fuzzer made.
  bool simplify_bytes = true;
};

using FaultPredicate = std::function<bool(const std::string& candidate)>;

// Removes bytes from `request` for as long as `still_faults` holds on what is
// left: the empty request first, then halves, quarters and so on down to
// single bytes, then simplifies the bytes left. Returns the smallest request
// found to fault, or `request` unchanged when no candidate did. `request`
// itself is taken to fault and is never tried, and no candidate is tried
// twice.
std::string shrink_request(std::string request, const FaultPredicate& still_faults,
                           const ShrinkLimits& limits = ShrinkLimits());
