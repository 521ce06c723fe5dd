#include "driver/options.h"

#include <cstdlib>
#include <cstring>

const char kUsageLine[] =
    "usage: modtest [--check CASES [--update] [--guard] | --validate [--module NAME]...\n"
    "               [--cases CASES] [--dict FILE] [--fuzz-seconds S] [--seed N]\n"
    "               [--in-process] [--quiet] [--no-guard] | --interactive [--guard]]\n"
    "               [--junit FILE] [--help] [--version]\n";

const char kHelpText[] =
    "usage: modtest [--check CASES [--update] [--guard] | --validate [--module NAME]...\n"
    "               [--cases CASES] [--dict FILE] [--fuzz-seconds S] [--seed N]\n"
    "               [--in-process] [--quiet] [--no-guard] | --interactive [--guard]]\n"
    "               [--junit FILE] [--help] [--version]\n"
    "\n"
    "Without options, modtest reads test.ini and saori.ini beside itself, binds\n"
    "the listed modules, sends the request of test.ini and prints it with the\n"
    "reply. Arguments that do not start with -- are ignored, but -h. An option's\n"
    "value follows it, or follows '=' in the same argument (--check=CASES).\n"
    "\n"
    "  --check CASES  send every case of the file CASES to the modules of\n"
    "                 saori.ini, bound once, and report in TAP on standard output;\n"
    "                 exit 0 when every case passed, 1 when any failed, 2 when\n"
    "                 the command line or the file is wrong\n"
    "  --update       with --check: write the actual replies into the file's\n"
    "                 reply: lines\n"
    "  --validate     run a battery of checks against every module of saori.ini,\n"
    "                 each check in a process of its own, and report in TAP: bind,\n"
    "                 requests, long-requests, fuzz, request-bounds, reply-blocks,\n"
    "                 leak, release, reload; exit 0 when nothing was found, 1 when\n"
    "                 something was, 2 when the command line or a file is wrong.\n"
    "                 A request that makes a module fault is kept, shrunk, in\n"
    "                 modtest-findings/ as a cases file for --check\n"
    "  --module NAME  with --validate: check this module only (repeatable)\n"
    "  --cases CASES  with --validate: take the requests of CASES as seeds too\n"
    "  --dict FILE    with --validate: words for the fuzzer, one a line, written\n"
    "                 as cases-file values, beside those of the module's file\n"
    "  --fuzz-seconds S  with --validate: fuzz each module for S seconds (10)\n"
    "  --seed N       with --validate: the fuzzer's seed, for a repeatable run\n"
    "  --in-process   with --validate: run every check in this one process, for a\n"
    "                 debugger; the first fault then ends the run\n"
    "  --quiet        with --validate: no binding lines and no warning lines on\n"
    "                 standard error; faults and the report remain\n"
    "  --guard        with --check or --interactive: give the modules a guarded\n"
    "                 heap, so that a read or write past a block, a use after free\n"
    "                 and a bad free fault where they happen, as --validate does\n"
    "  --no-guard     with --validate: leave the guarded heap out\n"
    "  --interactive  bind the modules of saori.ini, then send each line of\n"
    "                 standard input as a request and print the reply; :help\n"
    "                 in the session lists its commands\n"
    "  --junit FILE   with --check or --validate: also write the results to FILE\n"
    "                 as JUnit XML\n"
    "  -h, --help     print this text\n"
    "  --version      print the version\n"
    "\n"
    "MODTEST_TIMEOUT in the environment: the seconds a module call may take\n"
    "(5 with --validate when not set; no limit otherwise).\n"
    "\n"
    "Exit codes:\n"
    "  0  the run went to its end: every case passed, nothing was found\n"
    "  1  a case failed, or --validate found something\n"
    "  2  the command line or a file is wrong, or the --junit file was not written\n"
    "  3  a module crashed\n"
    "  4  a module call took longer than MODTEST_TIMEOUT\n"
    "  5  a module ended the process\n"
    "  6  modtest itself crashed\n";

const char kVersionLine[] = "modtest " MODTEST_VERSION "\n";

namespace {

bool starts_with_dashes(const char* argument) {
  return std::strncmp(argument, "--", 2) == 0;
}

Options usage_error(std::string error) {
  Options options;
  options.action = Options::kUsageError;
  options.error = std::move(error);
  return options;
}

// The options that take a value, and those that take none.
const char* const kValueOptions[] = {"--check",        "--module", "--cases", "--dict",
                                     "--fuzz-seconds", "--seed",   "--junit"};
const char* const kFlagOptions[] = {"--update", "--validate", "--interactive", "--in-process",
                                    "--quiet",  "--help",     "--version",     "--host",
                                    "--guard",  "--no-guard"};

bool is_one_of(const std::string& name, const char* const* names, std::size_t count) {
  for (std::size_t index = 0; index < count; ++index) {
    if (name == names[index]) return true;
  }
  return false;
}

// A positive number of seconds, as strtod reads it, and nothing after it.
bool parse_seconds(const std::string& text, double& seconds) {
  char* end = nullptr;
  seconds = std::strtod(text.c_str(), &end);
  return !text.empty() && end != nullptr && *end == '\0' && seconds > 0 && seconds < 1e9;
}

bool parse_seed(const std::string& text, std::uint64_t& seed) {
  if (text.empty() || text.size() > 20) return false;
  seed = 0;
  for (char digit : text) {
    if (digit < '0' || digit > '9') return false;
    std::uint64_t next = seed * 10 + static_cast<std::uint64_t>(digit - '0');
    if (next / 10 != seed) return false;
    seed = next;
  }
  return true;
}

}  // namespace

Options parse_options(int argc, const char* const* argv) {
  Options options;
  bool check = false;
  bool validate = false;
  bool interactive = false;
  bool help = false;
  bool version = false;
  bool host = false;
  bool validate_only = false;  // an option given that only --validate takes
  for (int index = 1; index < argc; ++index) {
    const char* argument = argv[index];
    // The one short option: what people type first to learn the others.
    if (std::strcmp(argument, "-h") == 0) {
      help = true;
      continue;
    }
    if (!starts_with_dashes(argument)) continue;
    // An option's value comes after it, or after '=' in the same argument.
    const char* equals = std::strchr(argument, '=');
    std::string name = equals != nullptr ? std::string(argument, equals) : argument;
    if (is_one_of(name, kFlagOptions, sizeof kFlagOptions / sizeof *kFlagOptions)) {
      if (equals != nullptr) return usage_error(name + " takes no value");
      if (name == "--update") options.update = true;
      if (name == "--validate") validate = true;
      if (name == "--interactive") interactive = true;
      if (name == "--in-process") options.in_process = validate_only = true;
      if (name == "--quiet") options.quiet = validate_only = true;
      if (name == "--help") help = true;
      if (name == "--version") version = true;
      if (name == "--host") host = true;
      if (name == "--guard") options.guard = true;
      if (name == "--no-guard") options.no_guard = validate_only = true;
      continue;
    }
    if (!is_one_of(name, kValueOptions, sizeof kValueOptions / sizeof *kValueOptions)) {
      return usage_error(std::string("unknown option ") + argument);
    }
    std::string value;
    if (equals != nullptr) {
      value = equals + 1;
    } else if (index + 1 < argc && !starts_with_dashes(argv[index + 1])) {
      value = argv[++index];
    }
    if (value.empty()) {
      return usage_error(name == "--check" ? "--check needs the cases file after it"
                                           : name + " needs a value after it");
    }
    if (name == "--check") {
      if (check) return usage_error("--check is given twice");
      check = true;
      options.cases_path = value;
    } else if (name == "--module") {
      options.modules.push_back(value);
      validate_only = true;
    } else if (name == "--cases") {
      options.seed_cases_path = value;
      validate_only = true;
    } else if (name == "--dict") {
      options.dictionary_path = value;
      validate_only = true;
    } else if (name == "--fuzz-seconds") {
      if (!parse_seconds(value, options.fuzz_seconds)) {
        return usage_error("--fuzz-seconds needs a positive number of seconds, not \"" + value +
                           "\"");
      }
      validate_only = true;
    } else if (name == "--seed") {
      if (!parse_seed(value, options.seed)) {
        return usage_error("--seed needs a whole number, not \"" + value + "\"");
      }
      options.has_seed = validate_only = true;
    } else {
      options.junit_path = value;
    }
  }
  // --help and --version take the place of whatever else was asked.
  if (help || version) {
    Options only;
    only.action = help ? Options::kHelp : Options::kVersion;
    return only;
  }
  if (host && (check || validate || interactive || options.update || options.guard)) {
    return usage_error("--host takes no other option");
  } else if (host) {
    options.action = Options::kHost;
  } else if (check && validate) {
    return usage_error("--check and --validate cannot be given together");
  } else if (interactive && (check || validate)) {
    return usage_error(std::string("--interactive and ") + (check ? "--check" : "--validate") +
                       " do not go together");
  } else if (options.guard && options.no_guard) {
    return usage_error("--guard and --no-guard cannot be given together");
  } else if (options.guard && !check && !interactive && !validate) {
    return usage_error("--guard works only with --check, --interactive or --validate");
  } else if (options.update && !check) {
    return usage_error("--update works only with --check");
  } else if (validate_only && !validate) {
    return usage_error(
        "--module, --cases, --dict, --fuzz-seconds, --seed, --in-process, --quiet and "
        "--no-guard work only with --validate");
  } else if (!options.junit_path.empty() && !check && !validate) {
    return usage_error("--junit works only with --check or --validate");
  } else if (check) {
    options.action = Options::kCheck;
  } else if (validate) {
    options.action = Options::kValidate;
  } else if (interactive) {
    options.action = Options::kInteractive;
  }
  return options;
}
