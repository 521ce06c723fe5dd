#pragma once

// MODTEST_TIMEOUT: how many seconds a call into a module may take before
// the run is ended and the module reported.

// The seconds `text` gives (the variable's value, or null when it is not
// set); 0 for no timeout. A value that is not a positive number is reported
// on standard error in one line and ignored.
double parse_timeout_setting(const char* text);
