// The child-process cases on Windows, where GoogleTest is not built: run
// under Wine, the probe child is a Windows process started by CreateProcess.
// Prints each failure and exits 1 when there was any.

#include <cstdio>
#include <string>

#include "child_process_cases.h"
#include "platform/child_process.h"
#include "platform/files.h"

namespace {

int failures = 0;

void check(bool passed, const std::string& what) {
  if (passed) return;
  std::printf("FAIL %s\n", what.c_str());
  ++failures;
}

// A crash ends the probe with the code of its access violation, a kill with
// the code kill_child gives.
void run_case(const std::string& probe, const ChildCase& c) {
  std::string failure =
      run_child_case(probe, c, {ChildEndKind::kExited, 0xC0000005u}, {ChildEndKind::kExited, 1});
  check(failure.empty(), std::string(c.name) + ": " + failure);
}

}  // namespace

int main() {
  std::string probe;
  check(get_executable_path(probe) == 1, "the test cannot tell where it is");
  probe.erase(probe.find_last_of("\\/") + 1);
  probe += "child_probe.exe";
  const ChildStreams both_piped{ChildStream::kPipe, ChildStream::kPipe};

  for (const ChildCase& c : child_cases()) run_case(probe, c);
  // An exit code above 0x7fffffff arrives whole.
  run_case(
      probe,
      {"exit 0xC0000409", {"exit", "3221226505"}, both_piped, "", "", Ending::kExit, 0xC0000409u});

  check(start_child(probe + ".missing", {}, both_piped) == nullptr, "a missing program started");
  ChildProcess* child = start_child(probe, {"exit", "0"}, both_piped);
  check(child != nullptr, "the probe did not start");
  if (child != nullptr) {
    check(wait_for_child(child, -1).kind == ChildEndKind::kExited, "exit 0 did not end");
    check(!write_to_child(child, "x", 1), "a write to an ended child succeeded");
    end_child(child);
  }

  std::printf("%s: %d failed\n", failures == 0 ? "PASS" : "FAIL", failures);
  return failures == 0 ? 0 : 1;
}
