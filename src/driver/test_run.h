#pragma once

// One whole test: reads and reports the settings beside the executable,
// binds the listed modules, sends the request, prints request and reply and
// releases everything. Returns the exit code, which is always 0.
int run_test();
