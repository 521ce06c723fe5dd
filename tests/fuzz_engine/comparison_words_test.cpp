// Comparison operands as words, read through include/modtest/coverage.c
// itself, linked into this test as into a module: its callbacks fill the
// view that the host reads.

#include "fuzz_engine/comparison_words.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_engine/coverage_map.h"

using namespace std::string_literals;

extern "C" {
CoverageView* modtest_coverage();
void __sanitizer_cov_trace_pc();
void __sanitizer_cov_8bit_counters_init(unsigned char* start, unsigned char* stop);
void __sanitizer_cov_trace_cmp1(std::uint8_t first, std::uint8_t second);
void __sanitizer_cov_trace_cmp4(std::uint32_t first, std::uint32_t second);
void __sanitizer_cov_trace_const_cmp2(std::uint16_t first, std::uint16_t second);
void __sanitizer_cov_trace_const_cmp4(std::uint32_t first, std::uint32_t second);
void __sanitizer_cov_trace_const_cmp8(std::uint64_t first, std::uint64_t second);
void __sanitizer_cov_trace_switch(std::uint64_t value, void* cases);
void __sanitizer_weak_hook_strcmp(void* caller, const char* first, const char* second, int result);
void __sanitizer_weak_hook_memcmp(void* caller, const void* first, const void* second,
                                  std::size_t length, int result);
}

namespace {

TEST(IntegerWords, GivesDecimalHexadecimalAndBytes) {
  const struct {
    std::uint64_t value;
    unsigned size;
    std::vector<std::string> words;
  } rows[] = {
      {0x5A17C0DE, 4, {"1511506142", "0x5a17c0de", "\xde\xc0\x17\x5a"}},
      {0x65646F4D, 8, {"1701080909", "0x65646f4d", "Mode"}},
      {0xFFFF, 2, {"65535", "-1", "0xffff", "\xff\xff"}},
      {0x1FFFF, 2, {"65535", "-1", "0xffff", "\xff\xff"}},
      {0x8000000000000000ull,
       8,
       {"9223372036854775808", "-9223372036854775808", "0x8000000000000000",
        "\0\0\0\0\0\0\0\x80"s}},
      {0x100, 2, {"256", "0x100", "\0\x01"s}},
      {3, 4, {"3"}},
  };
  for (const auto& row : rows)
    EXPECT_EQ(integer_words(row.value, row.size), row.words) << row.value;
}

TEST(ComparisonWords, LearnsWhatTheModuleComparedWith) {
#ifdef __SANITIZE_ADDRESS__
  GTEST_SKIP() << "the sanitizer calls the file's string hooks for this test's own comparisons";
#endif
  CoverageView* view = modtest_coverage();
  ASSERT_EQ(view->version, kCoverageViewVersion);
  std::vector<std::string> words{"1511506142"};
  ComparisonWords learner(view, words);
  __sanitizer_cov_trace_const_cmp4(0x5A17C0DE, 12);  // its decimal text is known already
  __sanitizer_cov_trace_const_cmp4(7, 7);            // equal: nothing learned
  __sanitizer_cov_trace_cmp1('a', 'b');              // single bytes: nothing
  __sanitizer_cov_trace_cmp4(300, 12);               // two variables, 12 in the request: 300 only
  __sanitizer_cov_trace_cmp4(5000, 6000);            // neither in the request: nothing
  __sanitizer_cov_trace_const_cmp2(0x4B4F, 0);
  std::uint64_t cases[] = {3, 64, 10, 0x1000, 0x3000};  // near 0x2000: 0x1000 and 0x3000
  __sanitizer_cov_trace_switch(0x2000, cases);
  __sanitizer_weak_hook_strcmp(nullptr, "Charset", "Char", 1);
  __sanitizer_weak_hook_memcmp(nullptr, "ab\0c", "xy\0z", 4, 1);
  __sanitizer_weak_hook_memcmp(nullptr, "same", "same", 4, 0);
  EXPECT_EQ(learner.take(words, "Count: 12"), 18u);
  std::vector<std::string> expected{"1511506142", "0x5a17c0de", "\xde\xc0\x17\x5a",
                                    "300",        "0x12c",      "\x2c\x01",
                                    "19279",      "0x4b4f",     "OK",
                                    "4096",       "0x1000",     "\0\x10"s,
                                    "12288",      "0x3000",     "\0\x30"s,
                                    "Charset",    "Char",       "ab\0c"s,
                                    "xy\0z"s};
  // The first word was there before.
  EXPECT_EQ(words, expected);
  EXPECT_EQ(learner.take(words, ""), 0u);

  // More than the ring holds: the latest are read.
  for (std::uint32_t value = 1000; value < 1000 + 2 * view->operand_size; ++value) {
    __sanitizer_cov_trace_const_cmp4(value, 0);
  }
  std::vector<std::string> latest;
  EXPECT_EQ(learner.take(latest, ""), 3 * view->operand_size);
  EXPECT_EQ(latest.front(), std::to_string(1000 + view->operand_size));
}

// Two call places are two blocks, and an edge between them; inline
// counters the compiler registers are read alike.
TEST(CoverageFile, CountsBlocksAndInlineCounters) {
  CoverageMap map(modtest_coverage());
  map.take_new();
  std::uint64_t before = map.edges();
  // The second round adds the edge back from the second place to the first.
  for (int round = 0; round < 3; ++round) {
    __sanitizer_cov_trace_pc();
    __sanitizer_cov_trace_pc();
    EXPECT_EQ(map.take_new(), round < 2) << round;
  }
  EXPECT_GE(map.edges(), before + 1);
  static unsigned char counters[5];
  __sanitizer_cov_8bit_counters_init(counters, counters + 5);
  __sanitizer_cov_8bit_counters_init(counters, counters + 5);  // once only
  EXPECT_EQ(modtest_coverage()->counter_range_count, 1u);
  counters[4] = 3;
  before = map.edges();
  EXPECT_TRUE(map.take_new());
  EXPECT_EQ(map.edges(), before + 1);
  EXPECT_EQ(counters[4], 0);
}

}  // namespace
