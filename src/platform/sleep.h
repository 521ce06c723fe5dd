#pragma once

// Waiting: sleep_posix.cpp and sleep_win32.cpp implement this.

// Lets `milliseconds` pass with this thread idle; other threads, a module's
// among them, run on.
void sleep_milliseconds(unsigned milliseconds);
