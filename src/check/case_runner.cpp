#include "check/case_runner.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string_view>

#include "modules/host_memory.h"
#include "platform/process_memory.h"

namespace {

// Sends the request as often as the case says, each reply compared, and
// stops at the first that fails.
void send_repeats(ModuleRecord* record, const CasesFile& file, const CheckCase& check_case,
                  unsigned long& current_repetition, Outcome& outcome) {
  using Clock = std::chrono::steady_clock;
  std::string_view request = file.view(check_case, check_case.request);
  std::string_view expected = file.view(check_case, check_case.reply);
  for (unsigned long repetition = 1; repetition <= check_case.repeat; ++repetition) {
    current_repetition = repetition;
    host_release(outcome.reply);
    outcome.reply = nullptr;
    Clock::time_point start;
    if (check_case.has_repeat) start = Clock::now();
    int sent = exchange_with_module(record, request.data(), request.size(), &outcome.reply,
                                    &outcome.reply_length);
    if (check_case.has_repeat) {
      double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      outcome.total_seconds += seconds;
      if (seconds > outcome.slowest_seconds) outcome.slowest_seconds = seconds;
    }
    if (!sent) {
      outcome.message = "no memory was left for the request block (see standard error)";
      return;
    }
    outcome.sent = repetition;
    // Growth is counted from the end of the first request: what a module
    // sets up once is not a leak.
    if (check_case.has_repeat && repetition == 1) {
      outcome.memory_growth = -static_cast<long long>(get_memory_use().resident);
    }
    if (outcome.reply == nullptr) {
      outcome.message = "no memory was left for a copy of the reply";
      return;
    }
    if (!check_case.has_reply) continue;
    std::size_t common = std::min(expected.size(), outcome.reply_length);
    std::size_t at = 0;
    if (std::memcmp(expected.data(), outcome.reply, common) != 0) {
      while (expected[at] == outcome.reply[at]) ++at;
    } else {
      at = common;
    }
    if (at != expected.size() || at != outcome.reply_length) {
      outcome.mismatch = true;
      outcome.first_difference = at;
      return;
    }
  }
  outcome.passed = true;
}

}  // namespace

const char* unsendable_reason(const ModuleRegistry& registry, const ModuleRecord* record) {
  if (registry.head == nullptr) return "saori.ini did not open, so no module is bound";
  if (record == nullptr) return "saori.ini lists no module of this name";
  if (get_state(record) != 1) {
    return "the module is not bound: its library did not load, or its load did not return 1 "
           "(see standard error)";
  }
  if (record->request_entry == nullptr) return "the module exports no request";
  return nullptr;
}

void send_case(ModuleRecord* record, const CasesFile& file, const CheckCase& check_case,
               unsigned long& repetition, Outcome& outcome) {
  send_repeats(record, file, check_case, repetition, outcome);
  if (check_case.has_repeat && outcome.sent != 0) {
    outcome.memory_growth += static_cast<long long>(get_memory_use().resident);
  }
}
