#pragma once

// The validator's report: TAP on standard output, a line and a YAML block
// per module and check, and the same results for JUnit.

#include <cstddef>
#include <string>

#include "report/junit_writer.h"
#include "validate/validate_check.h"

// The version line and the plan.
void start_validate_report(std::size_t checks);
// One check's line and block, written out at once: a long run shows its
// progress.
void report_check(std::size_t number, const std::string& module, const char* check,
                  const CheckResult& result);
// The summary comment and what is still kept.
void end_validate_report(std::size_t checks, std::size_t findings, std::size_t skipped);

// The check's result for the JUnit file.
void add_junit_result(JUnitReport& report, const std::string& module, const char* check,
                      const CheckResult& result);
