#pragma once

// A module host for one check: a fresh child process (or, with
// --in-process, this one) with one module bound, and the words for how it
// ended when a module call ended it.

#include <cstdint>
#include <string>

#include "host/host_client.h"
#include "validate/validate_check.h"

FaultKind fault_kind(const ModuleHost& host);
// The YAML's words for a fault's identity: `fault`, `at` and `data_address`,
// each only when the host said.
void describe_fault_identity(const FaultKind& fault, CheckResult& result);
// "crashed (segmentation fault (SIGSEGV) at mine.so+0x1a2b)": the fault
// and, when known, its code and place, for a message or a reproducer.
std::string describe_fault_fully(const FaultKind& fault, const ValidateSettings& settings);
// "crashed in request", and after a colon the guarded heap's words when
// the fault was one of its own.
std::string describe_fault_in_request(const FaultKind& fault, const ValidateSettings& settings);
// A hang: the call did not return in time.
bool is_hang(const FaultKind& fault);
// "crashed", "did not return within 5 s", "ended the process", ...
std::string describe_fault(const FaultKind& fault, const ValidateSettings& settings);

// How long the parent waits for an answer that a call of the module's may
// take: the call's time, and the child's own watchdog's time to report it.
double answer_seconds(const ValidateSettings& settings, double work_seconds = 0);

// Starts a host, a child or this process as the settings say, with nothing
// bound yet.
// A `quiet` host's standard error is discarded: one of many alike, whose
// words the first has said and whose findings the report gives.
bool start_unbound_host(ModuleHost& host, const ValidateSettings& settings, bool quiet = false);

// How many of a check's requests the guarded heap takes: one in `share`
// (1 every one), or none when the settings leave the guard out.
unsigned guard_share(const ValidateSettings& settings, unsigned share = 1);

// Starts a host and binds `module` alone in it, its heap guarded for one
// request in `guard` (0: none). False, with `why` set, when the host did not
// start, ended, or the module did not bind.
bool start_check_host(ModuleHost& host, const ValidateSettings& settings, const std::string& module,
                      std::string& why, bool quiet = false, unsigned guard = 0);

// A check's result before it runs: skipped when the module did not bind,
// since every check after bind needs it bound.
CheckResult skipped_unbound(const ModuleUnderTest& module);

// start_check_host for a check: false with the reason as its finding.
bool start_or_find(ModuleHost& host, const ValidateSettings& settings,
                   const ModuleUnderTest& module, CheckResult& result, unsigned guard = 0);
