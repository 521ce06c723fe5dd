#pragma once

#include <string>

// Fills `directory` with the running executable's directory, ending in the
// platform's separator, or empty when the path has no separator. Returns 1.
int get_program_directory(std::string& directory);

// The directory part of `path`: everything up to and including its last
// `separator`; empty when there is none.
std::string directory_of(const std::string& path, char separator);
