#pragma once

// --interactive: requests read line by line from standard input, sent to the
// modules of saori.ini bound in a child host, each reply printed.

#include <string>

// Runs the session with the files in `directory`. Returns 0 once the input
// ended, or the exit code of the first fault a module caused (3, 4 or 5).
int run_interactive(const std::string& directory, bool guard = false);

// What :help prints.
extern const char kInteractiveHelp[];
