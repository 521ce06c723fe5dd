#pragma once

// A request that made a module fault, shrunk to the bytes that matter and
// kept as a cases file that `modtest --check` replays.

#include <string>

#include "validate/check_host.h"
#include "validate/validate_check.h"

// Shrinks `request`, which made `module` fault as `fault`, while the same
// kind of fault remains; each try is sent to a host of its own.
std::string shrink_faulting_request(const ValidateSettings& settings, const std::string& module,
                                    const std::string& request, const FaultKind& fault);

// Writes `request` as the case of a new file modtest-findings/MODULE-CHECK-N.txt
// under the current folder, N the first number no file has, and sets the
// result's `reproduce` field to the command that replays it. Says in the
// result why, when no file could be written.
// Returns the command, empty when none could be kept.
std::string keep_finding(CheckResult& result, const ValidateSettings& settings,
                         const std::string& module, const char* check, const std::string& request,
                         const FaultKind& fault);

// Both: what a check does with a request that made the module fault. A
// fault an earlier check kept from the same shrunk request is named, not
// kept again.
void report_faulting_request(CheckResult& result, const ValidateSettings& settings,
                             ModuleUnderTest& module, const char* check, const std::string& request,
                             const FaultKind& fault);
