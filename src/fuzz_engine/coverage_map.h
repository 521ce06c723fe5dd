#pragma once

// What a module's edge counters say after each request: whether the
// request reached an edge, or an edge as many times, that no request before
// it did. Counts are bucketed (1, 2, 3, 4-7, 8-15, 16-31, 32-127, 128 and
// more): a loop that runs once more is no new behaviour, one that runs
// twice as often may be.

#include <cstdint>
#include <vector>

#include "fuzz_engine/coverage_view.h"

// The bit of the bucket that `count` falls in; 0 for 0.
unsigned char coverage_bucket(unsigned char count);

class CoverageMap {
 public:
  // `view` may be null, or of a version this host does not know: then
  // active() is false and nothing is read.
  explicit CoverageMap(CoverageView* view);
  bool active() const { return view_ != nullptr; }

  // Reads the counters the last request left, sets them back to zero, and
  // returns whether any fell in a bucket never seen for its edge. With
  // `record` false, what they say is not taken as seen.
  bool take_new(bool record = true);
  // Edges seen at least once.
  std::uint64_t edges() const { return edges_; }

 private:
  bool note(unsigned char* counter, unsigned char& seen, bool record);
  bool read_ranges(bool record);

  CoverageView* view_;
  std::vector<unsigned char> seen_map_;
  std::vector<unsigned char> seen_ranges_;
  unsigned long ranges_known_ = 0;
  std::uint64_t edges_ = 0;
};
