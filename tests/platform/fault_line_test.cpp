// The line a fault handler writes is built without allocating, digit by
// digit: numbers, addresses and overlong names must still come out right.

#include "platform/fault_line.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

struct LineCase {
  FaultLine::Kind kind;
  bool in_module;
  long number;  // appended for kEndedProcess
  std::uintptr_t address;
  std::string expected;
};

TEST(FaultLineTest, SaysWhatHappenedToWhichModule) {
  const LineCase cases[] = {
      {FaultLine::kCrashed, true, 0, 0,
       "modtest: module echo (/x/echo.so) crashed in request: fault at 0x0\n"},
      {FaultLine::kCrashed, true, 0, 0xdeadbeef,
       "modtest: module echo (/x/echo.so) crashed in request: fault at 0xdeadbeef\n"},
      {FaultLine::kCrashed, false, 0, 0x10, "modtest: modtest itself crashed: fault at 0x10\n"},
      {FaultLine::kEndedProcess, true, 7, 0,
       "modtest: module echo (/x/echo.so) ended the process in request with exit code 7\n"},
      {FaultLine::kEndedProcess, true, -1, 0,
       "modtest: module echo (/x/echo.so) ended the process in request with exit code -1\n"},
      {FaultLine::kEndedProcess, true, LONG_MIN, 0,
       "modtest: module echo (/x/echo.so) ended the process in request with exit code " +
           std::to_string(LONG_MIN) + "\n"},
      {FaultLine::kTimedOut, true, 0, 0,
       "modtest: module echo (/x/echo.so) has not returned from request after 2.5 s\n"},
  };
  for (const LineCase& c : cases) {
    FaultLine call;
    call.set("echo", "/x/echo.so", "request");
    static FaultLine line;
    line.begin(c.in_module ? &call : nullptr, c.kind);
    if (c.kind == FaultLine::kCrashed) {
      line.append("fault at ");
      line.append_address(c.address);
    } else if (c.kind == FaultLine::kEndedProcess) {
      line.append_number(c.number);
    } else {
      line.append("2.5 s");
    }
    line.end();
    EXPECT_EQ(std::string(line.text(), line.length()), c.expected);
    EXPECT_EQ(std::string(line.fault()) + "\n", c.expected.substr(9));
  }
}

TEST(FaultLineTest, OverlongPathIsCutAndTheLineStillEnds) {
  static FaultLine call;
  std::string path(100000, 'p');
  call.set("n", path.c_str(), "load");
  static FaultLine line;
  line.begin(&call, FaultLine::kCrashed);
  line.append("aborted");
  line.end();
  std::string text(line.text(), line.length());
  EXPECT_LT(text.size(), 8192u);
  EXPECT_EQ(text.rfind("modtest: module n (ppp", 0), 0u);
  EXPECT_EQ(text.back(), '\n');
  EXPECT_EQ(text.find('\n'), text.size() - 1);
}

}  // namespace
