#pragma once

// One module's fuzzing, host after host: each fuzzes for a slice of the
// time and a fresh one takes over, and after a fault a fresh one goes on,
// until the module's fuzz time is spent. The sessions of several modules
// run side by side; whichever fuzz check waits looks after all of them, so
// that a module whose check has not come yet is fuzzed meanwhile.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/host_client.h"
#include "validate/validate_check.h"

// A fault the loops met, and how often.
struct MetFault {
  FaultKind fault;
  std::string request;
  bool request_known = false;
  std::uint64_t times = 0;
};
// Counts `fault` in `met`, or adds it; keeps the shortest request of each.
void note_fault(std::vector<MetFault>& met, const FaultKind& fault, const std::string& request,
                bool request_known);

class FuzzSession {
 public:
  FuzzSession(const ValidateSettings& settings, ModuleUnderTest& module);
  ~FuzzSession();
  FuzzSession(const FuzzSession&) = delete;
  FuzzSession& operator=(const FuzzSession&) = delete;

  // Starts the first host; false when none could start (`why` says why).
  bool start(std::string& why);
  bool done() const { return done_; }

  std::vector<MetFault> met;
  std::uint64_t requests = 0;
  std::uint64_t restarts = 0;
  std::uint64_t faults = 0;
  double spent = 0;       // seconds of fuzzing, the hosts' starts included
  double started_at = 0;  // on the run's clock
  // The contract warnings the hosts sent, and the request the loop stopped
  // at for one.
  std::vector<std::string> warnings;
  std::string warned_request;

 private:
  friend void look_after_fuzzing(double wait_seconds);
  // Takes what the host answered or how it ended, within `wait_seconds`,
  // and starts the next host. Returns whether anything happened.
  bool step(double wait_seconds);
  bool start_host();
  // Adds the requests the host kept for new coverage to the module's corpus.
  void take_corpus_entries();
  // Starts and binds the host that takes over next, while the current one
  // fuzzes: a host's start (a tenth of a second and more under Wine) is then
  // no time lost between two, and a module that faults often is not fuzzed
  // mostly by hosts starting.
  void start_standby();
  // The guard for the next host started: one in 16 has it.
  unsigned next_host_guard();

  const ValidateSettings& settings_;
  ModuleUnderTest& module_;
  unsigned hosts_started_ = 0;
  std::unique_ptr<ModuleHost> host_;
  std::unique_ptr<ModuleHost> standby_;
  double slice_ = 0;  // the seconds each host fuzzes
  double sent_at_ = 0;
  double order_seconds_ = 0;
  bool done_ = false;
};

// Looks after every running session for about `wait_seconds` in all.
void look_after_fuzzing(double wait_seconds);

// The seconds on the run's clock.
double fuzz_clock_seconds();
