#pragma once

// Sending one case to its module: the request as often as the case asks,
// each reply compared with the expected one, timed and the memory growth
// measured when the case gives a repeat:.

#include <cstddef>

#include "check/cases_file.h"
#include "modules/module_registry.h"

// What one case came to.
struct Outcome {
  bool passed = false;
  const char* message = nullptr;  // why it failed, when not by its reply
  char* reply = nullptr;          // the last reply received, host memory
  std::size_t reply_length = 0;
  bool mismatch = false;
  std::size_t first_difference = 0;
  unsigned long sent = 0;  // requests sent
  double total_seconds = 0;
  double slowest_seconds = 0;
  long long memory_growth = 0;  // bytes
};

// Says why a case could not be sent to `record`; null when it can be.
const char* unsendable_reason(const ModuleRegistry& registry, const ModuleRecord* record);

// Sends `check_case` of `file` to `record`, stopping at the first reply that
// fails, and fills `outcome`; the reply in it is the caller's to release.
// `repetition` follows the request being sent, for a report of a fault.
void send_case(ModuleRecord* record, const CasesFile& file, const CheckCase& check_case,
               unsigned long& repetition, Outcome& outcome);
