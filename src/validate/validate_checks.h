#pragma once

// The battery, in the order it runs: each check examines one module in a
// host of its own. request_checks.cpp has the checks that send requests,
// life_checks.cpp those of the module's life around them.

#include <string>
#include <vector>

#include "validate/validate_check.h"

const std::vector<ValidateCheck>& validate_checks();

CheckResult check_bind(const ValidateSettings& settings, ModuleUnderTest& module);
CheckResult check_requests(const ValidateSettings& settings, ModuleUnderTest& module);
CheckResult check_long_requests(const ValidateSettings& settings, ModuleUnderTest& module);
CheckResult check_fuzz(const ValidateSettings& settings, ModuleUnderTest& module);
CheckResult check_request_bounds(const ValidateSettings& settings, ModuleUnderTest& module);
CheckResult check_reply_blocks(const ValidateSettings& settings, ModuleUnderTest& module);
CheckResult check_leak(const ValidateSettings& settings, ModuleUnderTest& module);
CheckResult check_release(const ValidateSettings& settings, ModuleUnderTest& module);
CheckResult check_reload(const ValidateSettings& settings, ModuleUnderTest& module);

// The fuzz check's order for `module`, and its first half: a host started
// and the order sent, so that the hosts of several modules fuzz at once.
// check_fuzz awaits the result of a host started so, else starts one.
void start_fuzz(const ValidateSettings& settings, ModuleUnderTest& module);

// The seeds that made no fault in the checks so far: a fault found once is
// not found again from the same request.
std::vector<std::string> unfaulted_seeds(const ModuleUnderTest& module);

// Sorts the warnings of an answer: the first about the module's contract
// that no earlier check found becomes the result's finding (unless it has
// one), and those that a reply is no block are kept for the reply-blocks
// check. Returns whether a
// finding was made.
bool note_warnings(const std::vector<std::string>& warnings, CheckResult& result,
                   ModuleUnderTest& module, const std::string& request);
