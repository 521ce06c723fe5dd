#pragma once

// The plain run, without options: reads and reports the settings beside the
// executable, binds the listed modules, sends the one request, prints
// request and reply and releases everything. Returns the exit code, which is
// always 0.
int run_single();
