#pragma once

// Everything modtest needs from the operating system, behind one interface.
// platform_win32.cpp and platform_posix.cpp implement it; the build picks one.
// No other file includes an OS header.

#include <cstddef>
#include <cstdio>
#include <string>

// The character that ends a directory in the paths the OS hands us.
extern const char kPathSeparator;
// Whether `byte` ends a directory in a path a user writes: '/' everywhere,
// and on Windows '\\' as well.
bool ends_directory(char byte);

// Puts standard output and standard error into the byte-exact mode every
// platform shares: no line-end translation.
void prepare_standard_output();

// Fills `path` with the full path of the running executable. The path is
// never cut short: the buffer grows until the whole path fits. Returns 1,
// or 0 when the system cannot tell (path is then empty).
int get_executable_path(std::string& path);

// Module libraries. A null handle means the library could not be loaded.
// On Windows a module's own folder is searched first for the libraries it
// needs, then the usual places: modtest's folder, the system folders, the
// current folder and PATH.
using LibraryHandle = void*;
using LibraryEntry = void (*)();
LibraryHandle load_library(const char* path);
LibraryEntry find_library_entry(LibraryHandle library, const char* name);
// Returns 1 when the library was released, 0 when the system refused.
int free_library(LibraryHandle library);

// The memory blocks exchanged with modules. A module frees the blocks it is
// handed and allocates its reply the same way, so both sides must agree on
// the allocator: the global-memory allocator on Windows, malloc natively.
// A null result means the block could not be allocated.
using ModuleBlock = void*;
ModuleBlock alloc_module_block(std::size_t size);
// The address of a block's bytes; null when the block is not valid.
void* lock_module_block(ModuleBlock block);
// How many bytes of the block may be read; 0 when the system cannot tell.
// Where kModuleBlockSizeIsExact is false this is what the allocator made
// usable, which may be more than was asked for.
std::size_t module_block_size(ModuleBlock block);
extern const bool kModuleBlockSizeIsExact;
void free_module_block(ModuleBlock block);

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

// Opens a regular file for binary reading; null for anything else. The
// text-file reader does its own line-end handling on top of it.
std::FILE* open_binary_file(const char* path);

// The exit codes a report ends the run with; the caller owns their values.
struct FaultExitCodes {
  int crashed;        // a fault inside a module call
  int timed_out;      // a call that did not return in time
  int ended_process;  // a module that ended the process inside a call
  int own_fault;      // any other fault: modtest's own
};

// From here on a fault is reported on standard error and ends the run: one
// inside a module call with `codes.crashed`, any other as modtest's own with
// `codes.own_fault`. A module that ends the process inside a call is
// reported too (`codes.ended_process`). With `timeout_seconds` > 0 a
// watchdog also ends a call that has not returned in time
// (`codes.timed_out`); `timeout_text` is how the user wrote the time.
// Without a timeout no watchdog thread or timer exists.
void install_fault_reporting(const FaultExitCodes& codes, double timeout_seconds,
                             const char* timeout_text);

// Brackets one call into a module, its library's loading and release
// included. `name`, `path` and `entry` say in a report which module and
// entry it was; they are copied here, so that a handler needs nothing at the
// time of the fault. Standard output is flushed first: nothing printed before
// the call can be lost however the call ends.
void enter_module_call(const char* name, const char* path, const char* entry);
void leave_module_call();

// Run by the handlers after their line on standard error and before the
// process ends, with that line (no "modtest: " in front, no line feed) and
// the exit code they would end with; returns the exit code to end with
// instead. It runs where only write_output_now may be called.
using FaultEpilogue = int (*)(const char* fault, int exit_code);
void set_fault_epilogue(FaultEpilogue epilogue);
// Writes straight to standard output, past every buffer; safe in a handler.
void write_output_now(const char* bytes, std::size_t length);

// Keeps standard output for write_output_now alone: from here on whatever
// else is written there, by modtest's own lines or by a module, goes to
// standard error. Returns 1, or 0 when the system refused and nothing
// changed.
int reserve_standard_output();

// The process's resident memory in bytes, now and at its peak so far; 0
// for what the system cannot tell.
struct MemoryUse {
  std::size_t resident;
  std::size_t peak;
};
MemoryUse get_memory_use();

// Asks the system to back the block at `start` with large pages where it
// can: a big block written once then takes a few page faults rather than
// one per 4 KiB, and on some machines each costs several microseconds.
// Nothing changes where the system has no such pages or declines.
void prefer_large_pages(void* start, std::size_t size);

// For a block about to be written whole: large pages where the system has
// them, and the block's pages made ready in one call rather than one page
// fault at a time, which in some virtual machines costs more than the
// writing. Nothing changes where the system cannot.
void prepare_whole_write(void* start, std::size_t size);

// Puts the file `from` in the place of `to`, which it replaces if it
// exists. Returns 1, or 0 when the system refused.
int replace_file(const char* from, const char* to);
