#pragma once

// Module libraries and the calls into their entries. library_posix.cpp and
// library_win32.cpp load them; the entries are called by
// entry_call_plain.cpp, or on 32-bit Windows by entry_call_stdcall_win32.cpp.

#include <string>

#include "platform/module_block.h"

// A null handle means the library could not be loaded. On Windows a
// module's own folder is searched first for the libraries it needs, then the
// usual places: modtest's folder, the system folders, the current folder and
// PATH.
using LibraryHandle = void*;
using LibraryEntry = void (*)();
LibraryHandle load_library(const char* path);
LibraryEntry find_library_entry(LibraryHandle library, const char* name);
// Returns 1 when the library was released, 0 when the system refused.
int free_library(LibraryHandle library);

// Why the last load_library on `path` failed, in one line without a line
// feed: the system's own words, and on Windows what they mean for a module
// writer (a missing dependency by name, a module of the other bitness).
// Call it right after the failure; it never loads anything itself.
std::string describe_library_failure(const char* path);

// The module interface as the host calls it. `long` is 32 bits on Windows,
// where these are cdecl, the compiler's default there.
using ModuleLoadEntry = int (*)(ModuleBlock block, long length);
using ModuleRequestEntry = ModuleBlock (*)(ModuleBlock block, long* length);
using ModuleUnloadEntry = int (*)();

// Calls a module entry. `removed` receives the bytes of arguments the entry
// took off the stack itself: only a 32-bit Windows entry built stdcall does
// that, and the stack is put right again before these return. Elsewhere 0.
int call_load_entry(ModuleLoadEntry entry, ModuleBlock block, long length, int* removed);
ModuleBlock call_request_entry(ModuleRequestEntry entry, ModuleBlock block, long* length,
                               int* removed);
int call_unload_entry(ModuleUnloadEntry entry, int* removed);
