// The validator's payloads read back as they were written, whatever bytes
// they carry, and a payload cut short or grown is refused.

#include "host/check_frames.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

template <typename Message>
void expect_refuses_damage(const std::string& payload) {
  Message decoded;
  for (std::size_t cut = 0; cut < payload.size(); ++cut) {
    EXPECT_FALSE(decode(payload.substr(0, cut), decoded)) << "cut to " << cut;
  }
  EXPECT_FALSE(decode(payload + "x", decoded));
}

TEST(CheckFrames, RoundTripsAndRefusesDamage) {
  PaddedRequestOrder padded{"echo", "a\0\xff"s, 'x', 64};
  PaddedRequestOrder padded_back;
  ASSERT_TRUE(decode(encode(padded), padded_back));
  EXPECT_EQ(padded_back.module, "echo");
  EXPECT_EQ(padded_back.request, "a\0\xff"s);
  EXPECT_EQ(padded_back.fill, 'x');
  EXPECT_EQ(padded_back.padding, 64u);
  expect_refuses_damage<PaddedRequestOrder>(encode(padded));

  FuzzOrder fuzz{"m", ~0ull, 1500, 7, 256, {"", "\0"s, "seed"}, {"word"}, {"\0"s}};
  FuzzOrder fuzz_back;
  ASSERT_TRUE(decode(encode(fuzz), fuzz_back));
  EXPECT_EQ(fuzz_back.seed, ~0ull);
  EXPECT_EQ(fuzz_back.milliseconds, 1500u);
  EXPECT_EQ(fuzz_back.most_requests, 7u);
  EXPECT_EQ(fuzz_back.max_length, 256u);
  EXPECT_EQ(fuzz_back.seeds, fuzz.seeds);
  EXPECT_EQ(fuzz_back.words, fuzz.words);
  EXPECT_EQ(fuzz_back.avoid, fuzz.avoid);
  expect_refuses_damage<FuzzOrder>(encode(fuzz));

  FuzzResult fuzzed{123456789012ull, 10001, true, "\t", true, 4097};
  FuzzResult fuzzed_back;
  ASSERT_TRUE(decode(encode(fuzzed), fuzzed_back));
  EXPECT_EQ(fuzzed_back.requests, 123456789012ull);
  EXPECT_TRUE(fuzzed_back.warned);
  EXPECT_EQ(fuzzed_back.warned_request, "\t");
  EXPECT_TRUE(fuzzed_back.coverage);
  EXPECT_EQ(fuzzed_back.edges, 4097u);
  expect_refuses_damage<FuzzResult>(encode(fuzzed));

  CorpusEntry entry{12, "Mode: \0\r\n"s};
  CorpusEntry entry_back;
  ASSERT_TRUE(decode(encode(entry), entry_back));
  EXPECT_EQ(entry_back.edges, 12u);
  EXPECT_EQ(entry_back.request, entry.request);
  expect_refuses_damage<CorpusEntry>(encode(entry));
  CoverageNote note_back;
  ASSERT_TRUE(decode(encode(CoverageNote{77}), note_back));
  EXPECT_EQ(note_back.edges, 77u);
  expect_refuses_damage<CoverageNote>(encode(CoverageNote{77}));

  FaultReport fault{0xC0000005u,
                    0x10,
                    true,
                    77,
                    "mine.dll+0x1a2b (request+0x2b)",
                    "read 1 byte past the end of the 3-byte request block"};
  FaultReport fault_back;
  ASSERT_TRUE(decode(encode(fault), fault_back));
  EXPECT_EQ(fault_back.code, 0xC0000005u);
  EXPECT_TRUE(fault_back.has_data_address);
  EXPECT_EQ(fault_back.loop_requests, 77u);
  EXPECT_EQ(fault_back.place, fault.place);
  EXPECT_EQ(fault_back.guard_words, fault.guard_words);
  EXPECT_FALSE(decode(encode(fault).substr(0, kFaultReportFixedBytes - 1), fault_back));

  RepeatOrder repeat{"leak", std::string(1024, 'a'), 10000, 10000, 100};
  RepeatOrder repeat_back;
  ASSERT_TRUE(decode(encode(repeat), repeat_back));
  EXPECT_EQ(repeat_back.request.size(), 1024u);
  EXPECT_EQ(repeat_back.warm_up, 100u);

  RepeatResult repeated{10000, 7, 1u << 20, 11u << 20, "heap in use"};
  RepeatResult repeated_back;
  ASSERT_TRUE(decode(encode(repeated), repeated_back));
  EXPECT_EQ(repeated_back.after - repeated_back.before, 10u << 20);
  EXPECT_EQ(repeated_back.source, "heap in use");
  expect_refuses_damage<RepeatResult>(encode(repeated));
}

}  // namespace
