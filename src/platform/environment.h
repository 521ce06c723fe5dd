#pragma once

// What the process finds around it: its environment, which every child it
// starts inherits, and the machine's processors. environment_posix.cpp and
// environment_win32.cpp implement this.

// Sets `name` to `value` for this process and the children it starts from
// now on. False when the system refused.
bool set_environment_variable(const char* name, const char* value);

// How many processors the process may run on; at least 1.
unsigned processor_count();
