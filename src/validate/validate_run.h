#pragma once

// --validate: the battery of checks against every module of saori.ini, or
// those the command line names, reported in TAP (and JUnit).

#include <cstdint>

#include "validate/validate_check.h"

// How long a module call may take when MODTEST_TIMEOUT does not say.
constexpr char kValidateCallSeconds[] = "5";

// A seed for a run that names none, from the clock; the report gives it.
std::uint64_t seed_from_clock();

// Runs every check against every module. Returns 0 when nothing was found,
// 1 when something was, 2 when the command line or the files are wrong
// (said on standard error, followed by `usage_line`).
int run_validate(ValidateSettings settings, const char* usage_line);
