#pragma once

// The command line. Only arguments that start with "--" are options; any
// other argument is ignored, as a file dropped onto the program arrives as
// one and must still start the usual run.

#include <string>

struct Options {
  // kHost is internal and kept out of --help: the module host that modtest
  // starts as its own child (src/host/), answering frames on its pipes.
  enum Action { kSingleRun, kCheck, kHelp, kVersion, kUsageError, kHost, kInteractive };
  Action action = kSingleRun;
  std::string cases_path;  // --check
  bool update = false;     // --update
  std::string error;       // kUsageError: what is wrong, one line without "modtest: "
};

Options parse_options(int argc, const char* const* argv);

// "usage: modtest ..." and its line feed.
extern const char kUsageLine[];
// What --help prints.
extern const char kHelpText[];
// What --version prints: "modtest " and the version, one line.
extern const char kVersionLine[];
