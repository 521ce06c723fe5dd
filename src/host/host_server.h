#pragma once

// The module host's own side: a child process that binds the modules of
// saori.ini and answers the frames of host_protocol.h from its parent, so
// that a crash, a hang or an exit in a module ends the child, not the
// parent.

#include <string>

// Reserves standard output for the answers and standard input for the
// frames (a module reading it finds it empty), then reads frames from standard
// input and answers each until kQuit or the end of the input, binding from
// saori.ini in `directory`. Everything else the host and its modules print
// goes to standard error. Returns the exit code: 0, or 2 when the input is
// not frames. A fault inside a module is left to the fault reporting.
int serve_module_host(const std::string& directory);
