#include "fuzz_engine/request_shrinker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <set>
#include <string>
#include <thread>

#include "text/lead_byte.h"

namespace {

using namespace std::string_literals;

// 4 KiB of text with none of the bytes the faults below look for.
std::string filler() {
  std::string text;
  while (text.size() < 4096) text += "xyz,01:\r\n";
  return text.substr(0, 4096);
}

std::string with(std::string text, std::size_t at, char byte) {
  return text.replace(at, 1, 1, byte);
}

// Shrinks while recording every candidate the predicate sees.
struct Recorder {
  std::vector<std::string> tried;
  std::string shrink(const std::string& request, bool (*faults)(const std::string&),
                     const ShrinkLimits& limits = ShrinkLimits()) {
    return shrink_request(
        request,
        [&](const std::string& candidate) {
          tried.push_back(candidate);
          return faults(candidate);
        },
        limits);
  }
};

TEST(RequestShrinkerTest, KeepsOnlyTheBytesTheFaultNeeds) {
  const struct {
    const char* fault;
    std::string request;
    bool (*faults)(const std::string&);
    std::string expected;
  } cases[] = {
      {"one NUL byte", with(filler(), 1234, '\0'),
       [](const std::string& r) { return r.find('\0') != std::string::npos; },
       std::string(1, '\0')},
      {"any request", filler(), [](const std::string&) { return true; }, ""},
      {"an 'a' then a 'b'", with(with(filler(), 100, 'a'), 3000, 'b'),
       [](const std::string& r) {
         std::size_t a = r.find('a');
         return a != std::string::npos && r.find('b', a) != std::string::npos;
       },
       "ab"},
      // Lead bytes pair up: the seven lose nothing to chunks of one or three.
      {"a lone lead byte at the end", std::string(7, '\x9F'),
       [](const std::string& r) {
         for (std::size_t at = 0; at < r.size(); ++at) {
           if (is_lead_byte(static_cast<unsigned char>(r[at])) && ++at == r.size()) return true;
         }
         return false;
       },
       "\x9F"},
      // Only a second round finds that one quote of three can go.
      {"a quote left open before a NUL", "\"xy\"\"\0"s,
       [](const std::string& r) {
         std::size_t nul = r.find('\0');
         return nul != std::string::npos && std::count(r.begin(), r.begin() + nul, '"') % 2 == 1;
       },
       "\"\0"s},
      {"three bytes of any kind", filler(), [](const std::string& r) { return r.size() >= 3; },
       "aaa"},
      {"a NUL at 3 in eight bytes", "xyz\0,01:"s,
       [](const std::string& r) { return r.size() == 8 && r[3] == '\0'; }, "aaa\0aaaa"s},
      {"four digits", "7193",
       [](const std::string& r) {
         return r.size() == 4 &&
                std::all_of(r.begin(), r.end(), [](char b) { return b >= '0' && b <= '9'; });
       },
       "0000"},
      {"a digit then anything but a letter or digit", "7,:",
       [](const std::string& r) {
         return r.size() == 3 && r[0] >= '0' && r[0] <= '9' &&
                std::none_of(r.begin() + 1, r.end(), [](char b) {
                  return std::isalnum(static_cast<unsigned char>(b)) != 0;
                });
       },
       "0  "},
  };
  for (const auto& c : cases) {
    Recorder recorder;
    EXPECT_EQ(recorder.shrink(c.request, c.faults), c.expected) << c.fault;
    ASSERT_LE(recorder.tried.size(), ShrinkLimits().most_tries) << c.fault;
    EXPECT_EQ(recorder.tried.front(), "") << c.fault;
    // Never the request itself, and no candidate twice, in a row or at all.
    std::set<std::string> distinct(recorder.tried.begin(), recorder.tried.end());
    EXPECT_EQ(distinct.size(), recorder.tried.size()) << c.fault;
    EXPECT_EQ(distinct.count(c.request), 0u) << c.fault;
  }
}

TEST(RequestShrinkerTest, KeepsItsBoundsAndTheRequestWhenNothingFaults) {
  auto has_nul = [](const std::string& r) { return r.find('\0') != std::string::npos; };
  ShrinkLimits five;
  five.most_tries = 5;
  Recorder bounded;
  std::string request = with(filler(), 4000, '\0');
  std::string shrunk = bounded.shrink(request, has_nul, five);
  EXPECT_EQ(bounded.tried.size(), 5u);
  EXPECT_TRUE(has_nul(shrunk));
  EXPECT_LT(shrunk.size(), request.size());

  Recorder never;
  std::string short_request = filler().substr(0, 64);
  EXPECT_EQ(never.shrink(short_request, [](const std::string&) { return false; }), short_request);
  EXPECT_EQ(std::set<std::string>(never.tried.begin(), never.tried.end()).size(),
            never.tried.size());

  ShrinkLimits brief;
  brief.deadline_seconds = 0.05;
  int calls = 0;
  shrink_request(
      short_request,
      [&](const std::string&) {
        ++calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return false;
      },
      brief);
  // Calls start at 0, 20 and 40 ms at the soonest; none after 50.
  EXPECT_GE(calls, 1);
  EXPECT_LE(calls, 3);
}

}  // namespace
