#pragma once

// A request that made a module fault, shrunk to the bytes that matter and
// kept as a cases file that `modtest --check` replays.

#include <string>
#include <vector>

#include "validate/check_host.h"
#include "validate/validate_check.h"

// A fault other than the one being shrunk, met on the way: a bug in its
// own right.
struct FaultMet {
  FaultKind fault;
  std::string request;
};

// A module's name as a part of a file name: letters, digits, '.', '-' and
// '_' as they are, anything else as '_'.
std::string file_name_part(const std::string& name);

// Shrinks `request`, which made `module` fault as `fault`, while the same
// fault remains (the same kind, code and place); each try is sent to a
// host kept while tries do not end it. Other faults met go to `others`.
std::string shrink_faulting_request(const ValidateSettings& settings, const std::string& module,
                                    const std::string& request, const FaultKind& fault,
                                    std::vector<FaultMet>* others = nullptr);

// Writes `request` as the case of a new file modtest-findings/MODULE-CHECK-N.txt
// under the current folder, N the first number no file has, with `first_met`,
// the request before shrinking, commented out after it when it differs. Sets
// the result's `reproduce` field to the command that replays it. A file of
// an earlier run with the same fault and request is named (`same_as_file`)
// instead. Says in the result why, when no file could be kept.
// Returns the command, empty when none could be kept.
std::string keep_finding(CheckResult& result, const ValidateSettings& settings,
                         const std::string& module, const char* check, const std::string& request,
                         const FaultKind& fault, const std::string& first_met);

// Both: what a check does with a request that made the module fault. A
// fault an earlier check kept, the same one at the same place or from the
// same shrunk request, is named, not kept again.
void report_faulting_request(CheckResult& result, const ValidateSettings& settings,
                             ModuleUnderTest& module, const char* check, const std::string& request,
                             const FaultKind& fault, std::vector<FaultMet>* others = nullptr);
