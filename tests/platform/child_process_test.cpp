// Children started, fed, read, waited for and killed through the platform
// door, against the probe child built beside these tests.

#include "platform/child_process.h"

#include <gtest/gtest.h>

#include <csignal>

#include "child_process_cases.h"

namespace {

const std::string kProbe = MODTEST_CHILD_PROBE;
const ChildStreams kBothPiped{ChildStream::kPipe, ChildStream::kPipe};

TEST(ChildProcessTest, RunsEachCaseAgainstTheProbe) {
  for (const ChildCase& c : child_cases()) {
    EXPECT_EQ(run_child_case(kProbe, c, {ChildEndKind::kSignalled, SIGSEGV},
                             {ChildEndKind::kSignalled, SIGKILL}),
              "")
        << c.name;
  }
}

TEST(ChildProcessTest, MissingProgramStartsNothing) {
  EXPECT_EQ(start_child(kProbe + ".missing", {}, kBothPiped), nullptr);
}

TEST(ChildProcessTest, WriteToEndedChildFailsWithoutEndingTheParent) {
  ChildProcess* child = start_child(kProbe, {"exit", "0"}, kBothPiped);
  ASSERT_NE(child, nullptr);
  EXPECT_EQ(wait_for_child(child, -1).kind, ChildEndKind::kExited);
  EXPECT_FALSE(write_to_child(child, "x", 1));
  end_child(child);
}

}  // namespace
