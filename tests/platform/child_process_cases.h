#pragma once

// The cases the child-process tests run against child_probe, natively under
// GoogleTest and on Windows by a runner of their own, and the steps that run
// and judge one. Only how a crash and a kill look differs by platform.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/child_process.h"

enum class Ending {
  kExit,          // reading ends with the stream, then the child exits
  kCrash,         // the same, but the child crashes
  kKilled,        // a short read times out, then the child is killed
  kStillRunning,  // the stream ends, and a short wait finds the child running
};

struct ChildCase {
  const char* name;
  std::vector<std::string> arguments;  // to the probe
  ChildStreams streams;
  // Sent to an echoing child in pieces, each read back before the next;
  // then its input is closed.
  std::string input;
  std::string output;  // all the child writes
  Ending ending;
  std::uint32_t exit_code;  // for Ending::kExit
};

const std::vector<ChildCase>& child_cases();

// Runs `c` against `probe` and says what went otherwise than expected, a
// crash and a kill ending a child as `crashed` and `killed` say; empty when
// nothing did.
std::string run_child_case(const std::string& probe, const ChildCase& c, ChildEnd crashed,
                           ChildEnd killed);
