#pragma once

// The fuzzer's words for one module: those of the seeds, of a --dict file
// and of the module's own file as it is shipped.

#include <string>
#include <vector>

// The words of the file at `path`, one a line, each written as a value of
// a cases file (quotes and escapes as there); blank lines and lines that
// start with '#' are skipped. False, with `error` set, when it does not read.
bool read_dictionary_file(const std::string& path, std::vector<std::string>& words,
                          std::string& error);

// The seeds' words first, then `listed`, then the words in the data of the
// module file at `module_path`; each once, and no more than the dictionary
// holds. A file that does not read gives none of its own.
std::vector<std::string> module_dictionary(const std::string& module_path,
                                           const std::vector<std::string>& seeds,
                                           const std::vector<std::string>& listed);
