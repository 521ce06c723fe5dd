#include "fuzz_engine/request_mutator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "text/lead_byte.h"

namespace {

const std::vector<std::string> kSeeds = {"name,value\r\n", "key:\x82\xA0 text", "\"quoted\""};
// Bytes all distinct, so that a repeated span shows.
const std::string kBase = "abcdefghijklmnopqrstuvwxyz0123456789";

std::uint64_t hash_requests(std::uint64_t seed, int count) {
  RequestMutator mutator(seed);
  std::string request;
  std::uint64_t hash = 0xCBF29CE484222325ull;
  for (int i = 0; i < count; ++i) {
    mutator.mutate(request, kSeeds);
    for (char byte : request + '\x01') {
      hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001B3ull;
    }
  }
  return hash;
}

bool ends_in_lone_lead_byte(const std::string& text) {
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (!is_lead_byte(static_cast<unsigned char>(text[at]))) continue;
    if (at + 1 == text.size()) return true;
    ++at;
  }
  return false;
}

// How many bytes `a` and `b` share at their front and at their back.
std::size_t common_front(const std::string& a, const std::string& b) {
  return std::mismatch(a.begin(), a.begin() + std::min(a.size(), b.size()), b.begin()).first -
         a.begin();
}
std::size_t common_back(const std::string& a, const std::string& b) {
  return std::mismatch(a.rbegin(), a.rbegin() + std::min(a.size(), b.size()), b.rbegin()).first -
         a.rbegin();
}

// Whether `longer` is `shorter` with 1 to `most` bytes put in one place.
bool is_insertion(const std::string& shorter, const std::string& longer, std::size_t most) {
  std::size_t grown = longer.size() - std::min(longer.size(), shorter.size());
  return grown >= 1 && grown <= most &&
         common_front(shorter, longer) + common_back(shorter, longer) >= shorter.size();
}

bool is_tricky(unsigned char byte) {
  return std::string("\0\r\n\t,:\"\\\x1A\xFF", 10).find(static_cast<char>(byte)) !=
             std::string::npos ||
         is_lead_byte(byte);
}

TEST(RequestMutatorTest, ASeedGivesTheSameRequestsOnEveryPlatform) {
  EXPECT_EQ(hash_requests(7, 1000), hash_requests(7, 1000));
  // Made once on x86-64 Linux: a platform or compiler that differs fails here.
  EXPECT_EQ(hash_requests(7, 1000), 0xFE06979BD271D8F3ull);
  EXPECT_NE(hash_requests(7, 1000), hash_requests(8, 1000));
}

TEST(RequestMutatorTest, EachKindDoesWhatItSays) {
  const struct {
    Mutation kind;
    bool (*did)(const std::string& before, const std::string& after);
  } cases[] = {
      {Mutation::kFlipBit,
       [](const std::string& b, const std::string& a) {
         std::size_t at = common_front(b, a);
         unsigned flipped = at < a.size() ? static_cast<unsigned char>(a[at] ^ b[at]) : 0;
         return a.size() == b.size() && at + 1 + common_back(b, a) == a.size() && flipped != 0 &&
                (flipped & (flipped - 1)) == 0;
       }},
      {Mutation::kFlipByte,
       [](const std::string& b, const std::string& a) {
         return a.size() == b.size() && common_front(b, a) + 1 + common_back(b, a) == a.size();
       }},
      {Mutation::kInsertBytes,
       [](const std::string& b, const std::string& a) { return is_insertion(b, a, 16); }},
      {Mutation::kDeleteBytes,
       [](const std::string& b, const std::string& a) { return is_insertion(a, b, 16); }},
      {Mutation::kRepeatSpan,
       [](const std::string& b, const std::string& a) {
         return a.size() >= b.size() && a.find_first_not_of(b) == std::string::npos;
       }},
      {Mutation::kInsertTrickyByte,
       [](const std::string& b, const std::string& a) {
         std::size_t at = common_front(b, a);
         return is_insertion(b, a, 1) && is_tricky(static_cast<unsigned char>(a[at]));
       }},
      {Mutation::kSpliceSeeds,
       [](const std::string&, const std::string& a) {
         for (const std::string& front : kSeeds) {
           for (const std::string& back : kSeeds) {
             std::size_t f = common_front(front, a), k = common_back(back, a);
             if (&front != &back && f >= 1 && k >= 1 && f + k >= a.size()) return true;
           }
         }
         return false;
       }},
      {Mutation::kRestartFromSeed,
       [](const std::string&, const std::string& a) {
         return std::find(kSeeds.begin(), kSeeds.end(), a) != kSeeds.end();
       }},
  };
  RequestMutator mutator(3);
  for (const auto& c : cases) {
    for (int i = 0; i < 200; ++i) {
      std::string request = kBase;
      ASSERT_TRUE(mutator.apply(c.kind, request, kSeeds));
      ASSERT_TRUE(c.did(kBase, request)) << static_cast<unsigned>(c.kind) << ": " << request;
    }
    // With nothing to act on a kind changes nothing.
    std::string empty;
    bool needs_bytes = c.kind != Mutation::kInsertBytes && c.kind != Mutation::kInsertTrickyByte;
    bool applied = mutator.apply(c.kind, empty, needs_bytes ? std::vector<std::string>() : kSeeds);
    EXPECT_EQ(applied, !needs_bytes) << static_cast<unsigned>(c.kind);
    EXPECT_EQ(empty.empty(), needs_bytes) << static_cast<unsigned>(c.kind);
  }
}

TEST(RequestMutatorTest, ManyCallsReachEveryKindAndTheBytesModulesTripOver) {
  RequestMutator mutator(11);
  std::string request;
  unsigned kinds = 0;
  bool nul = false;
  for (int i = 0; i < 3000; ++i) {
    kinds |= mutator.mutate(request, kSeeds);
    nul |= request.find('\0') != std::string::npos;
  }
  // With no line-shaped seed and no dictionary, numbers are the only text
  // kind drawn.
  EXPECT_EQ(kinds, (mutation_bit(Mutation::kReplaceNumber) << 1) - 1);
  EXPECT_TRUE(nul);
  // Placed anywhere, a lead byte would end the request 1 time in 70; as the
  // very last byte a third of the time, it does so 1 time in 6.
  int lone_lead_at_end = 0;
  for (int i = 0; i < 300; ++i) {
    request = kBase;
    mutator.apply(Mutation::kInsertTrickyByte, request, kSeeds);
    lone_lead_at_end += ends_in_lone_lead_byte(request);
  }
  EXPECT_GT(lone_lead_at_end, 30);
}

TEST(RequestMutatorTest, TheCapHoldsWithoutReallocating) {
  const std::vector<std::string> long_seeds = {std::string(300, 'x'), "short"};
  RequestMutator mutator(5, 100);
  std::string too_long(500, 'y');
  mutator.mutate(too_long, {});
  EXPECT_LE(too_long.size(), 100u);
  std::string request;
  mutator.mutate(request, long_seeds);
  const char* bytes = request.data();
  std::size_t longest = 0;
  for (int i = 0; i < 5000; ++i) {
    mutator.mutate(request, long_seeds);
    longest = std::max(longest, request.size());
    ASSERT_EQ(request.data(), bytes) << i;
  }
  EXPECT_EQ(longest, 100u);
  EXPECT_EQ(RequestMutator(5).max_length(), 64u * 1024);
}

TEST(RequestMutatorTest, WorksWithoutSeedsFromAnEmptyRequest) {
  RequestMutator mutator(9);
  std::string request;
  unsigned kinds = 0;
  std::size_t longest = 0;
  for (int i = 0; i < 200; ++i) {
    kinds |= mutator.mutate(request, {});
    longest = std::max(longest, request.size());
  }
  EXPECT_GT(longest, 0u);
  EXPECT_EQ(
      kinds & (mutation_bit(Mutation::kSpliceSeeds) | mutation_bit(Mutation::kRestartFromSeed)),
      0u);
  std::string nothing;
  EXPECT_EQ(RequestMutator(9, 0).mutate(nothing, kSeeds), 0u);
  EXPECT_EQ(nothing, "");
}

}  // namespace
