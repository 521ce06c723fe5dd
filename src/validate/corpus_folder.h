#pragma once

// A module's corpus between runs: the requests its fuzzing kept for
// reaching new coverage, one cases file each in modtest-corpus/MODULE/,
// numbered from 1, read again as seeds on the next run.

#include <cstddef>
#include <string>
#include <vector>

// The requests of modtest-corpus/MODULE/1.txt, 2.txt ... up to the first
// number with no file; a file --check cannot read is skipped.
std::vector<std::string> load_corpus(const std::string& module);

// Writes each request as the next file of the module's corpus folder,
// making the folders first. Returns how many were written; `why` says why
// the rest were not (a request no cases file can hold is left out unsaid).
std::size_t keep_corpus(const std::string& module, const std::vector<std::string>& requests,
                        std::string& why);
