#pragma once

// The command line. Only arguments that start with "--" are options, and
// "-h" for --help; any other argument is ignored, as a file dropped onto the
// program arrives as one and must still start the usual run.

#include <cstdint>
#include <string>
#include <vector>

struct Options {
  // kHost is internal and kept out of --help: the module host that modtest
  // starts as its own child (src/host/), answering frames on its pipes.
  enum Action { kSingleRun, kCheck, kValidate, kInteractive, kHelp, kVersion, kUsageError, kHost };
  Action action = kSingleRun;
  std::string cases_path;  // --check
  bool update = false;     // --update
  std::string junit_path;  // --junit, for --check and --validate
  // --validate's own.
  std::vector<std::string> modules;  // --module, repeatable
  std::string seed_cases_path;       // --cases
  std::string dictionary_path;       // --dict
  double fuzz_seconds = 10;          // --fuzz-seconds
  std::uint64_t seed = 0;            // --seed
  bool has_seed = false;
  bool in_process = false;  // --in-process
  bool quiet = false;       // --quiet
  bool guard = false;       // --guard, for --check and --interactive
  bool no_guard = false;    // --no-guard, for --validate
  std::string error;        // kUsageError: what is wrong, one line without "modtest: "
};

Options parse_options(int argc, const char* const* argv);

// "usage: modtest ..." and its line feed.
extern const char kUsageLine[];
// What --help prints.
extern const char kHelpText[];
// What --version prints: "modtest " and the version, one line.
extern const char kVersionLine[];
