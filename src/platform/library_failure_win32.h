#pragma once

// Between library_win32.cpp and library_failure_win32.cpp: why a library
// did not load, in the words a module writer can act on.

#include <string>

// The folder of `path`, its last separator included; empty when the path
// names no folder.
std::string folder_of(const std::string& path);

// What a module writer can do about the failed load of `path` (written with
// backslashes), in plain words: the file missing or of the wrong kind, a
// module of the other bitness, or the first library it needs that the loader
// would not find. `load_error` is what the load left in GetLastError. Empty
// when the file gives no clue. It never loads anything itself.
std::string explain_load_failure(const std::string& path, unsigned long load_error);

// The system's own words for `error`, in one line: "system error N: ...",
// or "system error N" alone when the system has none.
std::string system_message(unsigned long error);
