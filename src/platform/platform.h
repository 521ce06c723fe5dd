#pragma once

// Everything modtest needs from the operating system, behind one interface.
// platform_win32.cpp and platform_posix.cpp implement it; the build picks one.
// No other file includes an OS header.

#include <cstddef>
#include <cstdio>
#include <string>

// The character that ends a directory in the paths the OS hands us.
extern const char kPathSeparator;

// Puts the standard output into the byte-exact mode every platform shares:
// no line-end translation.
void prepare_standard_output();

// Fills `path` with the full path of the running executable. The path is
// never cut short: the buffer grows until the whole path fits. Returns 1,
// or 0 when the system cannot tell (path is then empty).
int get_executable_path(std::string& path);

// Module libraries. A null handle means the library could not be loaded.
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
std::size_t module_block_size(ModuleBlock block);
void free_module_block(ModuleBlock block);

// The module interface as the host calls it. `long` is 32 bits on Windows,
// where these are cdecl, the compiler's default there.
using ModuleLoadEntry = int (*)(ModuleBlock block, long length);
using ModuleRequestEntry = ModuleBlock (*)(ModuleBlock block, long* length);
using ModuleUnloadEntry = int (*)();

// Text files, read the same way on every platform: every carriage return
// byte is dropped wherever it stands and a 0x1A byte ends the file.
struct TextFile;
// Null when the file cannot be opened for reading (a directory cannot).
TextFile* open_text_file(const char* path);
// Reads like the C line read: at most size - 1 bytes, stopping after a line
// feed or at the end of the file, then a NUL. Returns the number of bytes
// stored before that NUL (bytes read may include NULs of the file itself);
// 0 at the end of the file or on a read error.
std::size_t read_text_chunk(TextFile* file, char* buffer, std::size_t size);
// The file's size in bytes when it was opened, which no line of it exceeds;
// 0 when the system cannot tell.
std::size_t text_file_size(TextFile* file);
void close_text_file(TextFile* file);

// Opens a regular file for binary reading; null for anything else. The
// text-file reader does its own line-end handling on top of it.
std::FILE* open_binary_file(const char* path);
