#pragma once

// Where the benchmarks find their files: the folder given with --data=DIR,
// else a temporary folder made for the run. Each file is written the first
// time a benchmark asks for it, so a filtered run writes only what it uses.

#include <string>

// Takes --data=DIR out of the arguments, if present.
void take_data_directory_flag(int* argc, char** argv);

// A folder, ending in a slash, that holds the settings file
// kSettingsFileNames[file] as test.ini.
std::string settings_file_directory(int file);

// A folder, ending in a slash, that holds a copy of the echo module and a
// saori.ini listing it `entries` times.
std::string module_list_directory(int entries);

// Removes the temporary folder, if one was made.
void remove_temporary_data();
