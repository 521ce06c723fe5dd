#include "run_terms/timeout_setting.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(TimeoutSettingTest, TakesPositiveSecondsAndReportsAnythingElse) {
  const struct {
    const char* text;
    double seconds;  // 0: refused, with one line on standard error
  } cases[] = {
      {"5", 5},  {"0.25", 0.25}, {"1e3", 1000}, {"0", 0},   {"-1", 0},  {"", 0},
      {"5s", 0}, {" 5", 5},      {"abc", 0},    {"inf", 0}, {"nan", 0}, {"1e9", 0},
  };
  for (const auto& c : cases) {
    CaptureStderr();
    EXPECT_EQ(parse_timeout_setting(c.text), c.seconds) << c.text;
    std::string said = GetCapturedStderr();
    std::string refusal = std::string("modtest: MODTEST_TIMEOUT is \"") + c.text +
                          "\", not a positive number of seconds; no timeout is set\n";
    EXPECT_EQ(said, c.seconds == 0 ? refusal : "") << c.text;
  }
  CaptureStderr();
  EXPECT_EQ(parse_timeout_setting(nullptr), 0);
  EXPECT_EQ(GetCapturedStderr(), "");
}

}  // namespace
