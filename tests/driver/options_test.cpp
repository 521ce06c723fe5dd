#include "driver/options.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct OptionsCase {
  std::vector<const char*> arguments;  // after the program's name
  Options::Action action;
  const char* detail;  // the cases path, or the error
  bool update;
};

const OptionsCase kOptionsCases[] = {
    {{}, Options::kSingleRun, "", false},
    {{"dropped.txt", "-x"}, Options::kSingleRun, "", false},
    {{"dropped.txt", "-h"}, Options::kHelp, "", false},
    {{"-help", "-hh", "-H", "h"}, Options::kSingleRun, "", false},
    {{"--check", "-h"}, Options::kCheck, "-h", false},
    {{"--check", "c.txt"}, Options::kCheck, "c.txt", false},
    {{"--update", "x", "--check", "-"}, Options::kCheck, "-", true},
    {{"--check", "c.txt", "--version", "--help"}, Options::kHelp, "", false},
    {{"--version", "--update"}, Options::kVersion, "", false},
    {{"--check"}, Options::kUsageError, "--check needs the cases file after it", false},
    {{"--check", "--update"}, Options::kUsageError, "--check needs the cases file after it", false},
    {{"--check", "a", "--check", "b"}, Options::kUsageError, "--check is given twice", false},
    {{"--update"}, Options::kUsageError, "--update works only with --check", false},
    {{"--help", "--", "--help"}, Options::kUsageError, "unknown option --", false},
    {{"--check=c.txt"}, Options::kCheck, "c.txt", false},
    {{"--check=a=b", "--update"}, Options::kCheck, "a=b", true},
    {{"--check="}, Options::kUsageError, "--check needs the cases file after it", false},
    {{"--check=a", "b", "--check=c"}, Options::kUsageError, "--check is given twice", false},
    {{"--check", "c", "--update=yes"}, Options::kUsageError, "--update takes no value", false},
    {{"--verbose=2"}, Options::kUsageError, "unknown option --verbose=2", false},
    {{"--host", "dropped.txt"}, Options::kHost, "", false},
    {{"--host", "--check", "c"}, Options::kUsageError, "--host takes no other option", false},
    {{"--update", "--host"}, Options::kUsageError, "--host takes no other option", false},
    {{"--host=1"}, Options::kUsageError, "--host takes no value", false},
    {{"--host", "--help"}, Options::kHelp, "", false},
    {{"--interactive", "dropped.txt"}, Options::kInteractive, "", false},
    {{"--interactive", "--check", "c"},
     Options::kUsageError,
     "--interactive and --check do not go together",
     false},
    {{"--interactive", "--update"},
     Options::kUsageError,
     "--update works only with --check",
     false},
    {{"--interactive=1"}, Options::kUsageError, "--interactive takes no value", false},
    {{"--check", "c", "--guard"}, Options::kCheck, "c", false},
    {{"--guard", "--interactive"}, Options::kInteractive, "", false},
    {{"--guard"},
     Options::kUsageError,
     "--guard works only with --check, --interactive or --validate",
     false},
    {{"--check", "c", "--no-guard"},
     Options::kUsageError,
     "--module, --cases, --dict, --fuzz-seconds, --seed, --in-process, --quiet and --no-guard "
     "work only with --validate",
     false},
    {{"--validate", "--guard", "--no-guard"},
     Options::kUsageError,
     "--guard and --no-guard cannot be given together",
     false},
    {{"--host", "--guard"}, Options::kUsageError, "--host takes no other option", false},
};

TEST(ParseOptions, ActionsAndErrors) {
  for (const OptionsCase& row : kOptionsCases) {
    std::vector<const char*> argv = {"modtest"};
    argv.insert(argv.end(), row.arguments.begin(), row.arguments.end());
    Options options = parse_options(static_cast<int>(argv.size()), argv.data());
    EXPECT_EQ(options.action, row.action) << row.detail;
    EXPECT_EQ(options.action == Options::kUsageError ? options.error : options.cases_path,
              row.detail);
    EXPECT_EQ(options.update, row.update) << row.detail;
  }
}

}  // namespace
