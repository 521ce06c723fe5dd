// The host's reading of a module's edge counters: buckets, the touched
// list and its overflow, the compiler's counter ranges, and a view of
// another version ignored.

#include "fuzz_engine/coverage_map.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(CoverageBucket, GroupsCountsAsClassicFuzzersDo) {
  const struct {
    unsigned char count;
    unsigned char bucket;
  } rows[] = {{0, 0},   {1, 1},   {2, 2},   {3, 4},   {4, 8},    {7, 8},     {8, 16},
              {15, 16}, {16, 32}, {31, 32}, {32, 64}, {127, 64}, {128, 128}, {255, 128}};
  for (const auto& row : rows) EXPECT_EQ(coverage_bucket(row.count), row.bucket) << +row.count;
}

struct FakeModule {
  unsigned char map[16] = {};
  unsigned long touched[4] = {};
  unsigned char counters[11] = {};
  CoverageRange range{counters, counters + sizeof counters};
  CoverageView view{kCoverageViewVersion, map, 16, touched, 0, 4, &range, 1, nullptr, 0, 0};

  void count(unsigned long slot, unsigned char times) {
    if (map[slot] == 0 && view.touched_count <= view.touched_size) {
      if (view.touched_count < view.touched_size) touched[view.touched_count] = slot;
      ++view.touched_count;
    }
    map[slot] = static_cast<unsigned char>(map[slot] + times);
  }
};

TEST(CoverageMap, KeepsWhatReachesANewEdgeOrBucket) {
  FakeModule module;
  CoverageMap map(&module.view);
  ASSERT_TRUE(map.active());
  const struct {
    const char* what;
    std::vector<std::pair<unsigned long, unsigned char>> slots;  // counts in the edge map
    std::vector<std::pair<unsigned long, unsigned char>> inline_counts;
    bool fresh;
    unsigned edges;
    bool record = true;
  } steps[] = {
      {"nothing ran", {}, {}, false, 0},
      {"not recorded", {{3, 1}}, {}, true, 0, false},
      {"a first edge", {{3, 1}}, {}, true, 1},
      {"the same again", {{3, 1}}, {}, false, 1},
      {"the same, twice", {{3, 2}}, {}, true, 1},
      {"five times and six: one bucket", {{3, 5}}, {}, true, 1},
      {"six", {{3, 6}}, {}, false, 1},
      {"an inline counter, past the eight read at once", {}, {{9, 1}}, true, 2},
      {"the first inline counter", {}, {{0, 200}}, true, 3},
      {"more slots than the touched list holds",
       {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}},
       {},
       true,
       7},
      {"all seen", {{1, 1}, {2, 1}, {5, 1}}, {{9, 1}}, false, 7},
  };
  for (const auto& step : steps) {
    for (const auto& slot : step.slots) module.count(slot.first, slot.second);
    for (const auto& counter : step.inline_counts) module.counters[counter.first] = counter.second;
    EXPECT_EQ(map.take_new(step.record), step.fresh) << step.what;
    EXPECT_EQ(map.edges(), step.edges) << step.what;
    // Read counters are set back to zero, for the next request.
    EXPECT_EQ(module.view.touched_count, 0u) << step.what;
    for (unsigned char count : module.map) EXPECT_EQ(count, 0) << step.what;
    for (unsigned char count : module.counters) EXPECT_EQ(count, 0) << step.what;
  }
}

TEST(CoverageMap, IgnoresAnotherVersionAndNone) {
  FakeModule module;
  module.view.version = kCoverageViewVersion + 1;
  module.count(1, 1);
  CoverageMap other(&module.view);
  EXPECT_FALSE(other.active());
  EXPECT_FALSE(other.take_new());
  EXPECT_EQ(module.map[1], 1);
  CoverageMap none(nullptr);
  EXPECT_FALSE(none.active());
  EXPECT_FALSE(none.take_new());
}

}  // namespace
