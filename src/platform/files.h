#pragma once

// Paths and files as the OS has them: files_posix.cpp and files_win32.cpp
// implement this.

#include <cstdio>
#include <string>

// The character that ends a directory in the paths the OS hands us.
extern const char kPathSeparator;
// Whether `byte` ends a directory in a path a user writes: '/' everywhere,
// and on Windows '\\' as well.
bool ends_directory(char byte);

// Fills `path` with the full path of the running executable. The path is
// never cut short: the buffer grows until the whole path fits. Returns 1,
// or 0 when the system cannot tell (path is then empty).
int get_executable_path(std::string& path);

// Fills `path` with the current directory and a separator after it.
// Returns 1, or 0 when the system cannot tell (path is then empty).
int get_current_directory(std::string& path);

// Whether `path` is taken from the current directory, as a path a user
// gives on a command line may be.
bool is_relative_path(const std::string& path);

// Opens a regular file for binary reading; null for anything else, with
// errno saying why. The
// text-file reader does its own line-end handling on top of it.
std::FILE* open_binary_file(const char* path);

// The size of the open file in bytes, from the system's record of it rather
// than by seeking, which would read the file's first block once more; 0 when
// the system cannot tell.
unsigned long long open_file_size(std::FILE* file);

// Puts the file `from` in the place of `to`, which it replaces if it
// exists. Returns 1, or 0 when the system refused, with errno saying why as
// the C library's own calls do, so that callers have one way to learn it.
int replace_file(const char* from, const char* to);

// Makes the directory `path` unless it is there already. Returns 1 when it
// is there afterwards, 0 when the system refused, with errno its reason.
int make_directory(const char* path);

// Creates the file `path` for binary writing, but only when no file of the
// name exists: null when one does, or the system refused.
std::FILE* create_new_file(const char* path);
