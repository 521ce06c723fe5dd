// The distance behind "did you mean": what counts as one slip, and where
// counting stops. The end-to-end cases show the suggestion itself.

#include "modules/module_name_match.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct DistanceCase {
  std::string first;
  std::string second;
  int limit;
  int distance;
};

const DistanceCase kDistanceCases[] = {
    {"counter", "counter", 2, 0},
    {"Counter", "cOUNTER", 2, 0},                              // case alone is no edit
    {"counter", "countr", 2, 1},                               // one deleted
    {"counter", "counterr", 2, 1},                             // one inserted
    {"counter", "cointer", 2, 1},                              // one replaced
    {"counter", "conuter", 2, 1},                              // two neighbours swapped
    {"counter", "cuonetr", 2, 2},                              // two swaps
    {"counter", "abc", 2, 3},                                  // beyond the limit: limit + 1
    {"", "ab", 5, 2},                                          // all inserted
    {"\xC3\xA9t\xC3\xA9", "\xC3\x89t\xC3\x89", 5, 2},          // only ASCII letters fold
    {std::string(65, 'a'), std::string(65, 'a') + "b", 2, 3},  // too long to compare
    {std::string(65, 'a'), std::string(65, 'A'), 2, 0},        // but equal but for case
    {std::string(64, 'a'), std::string(64, 'a') + "b", 2, 3},
    {std::string(64, 'a'), std::string(63, 'a') + "b", 2, 1},
};

TEST(NameDistance, CountsEditsUpToTheLimit) {
  for (const DistanceCase& row : kDistanceCases) {
    SCOPED_TRACE(row.first + " / " + row.second);
    EXPECT_EQ(name_distance(row.first.c_str(), row.second.c_str(), row.limit), row.distance);
    EXPECT_EQ(name_distance(row.second.c_str(), row.first.c_str(), row.limit), row.distance);
  }
}

}  // namespace
