#include "driver/options.h"

#include <cstring>

const char kUsageLine[] =
    "usage: modtest [--check CASES [--update] | --interactive] [--help] [--version]\n";

const char kHelpText[] =
    "usage: modtest [--check CASES [--update] | --interactive] [--help] [--version]\n"
    "\n"
    "Without options, modtest reads test.ini and saori.ini beside itself, binds\n"
    "the listed modules, sends the request of test.ini and prints it with the\n"
    "reply. Arguments that do not start with -- are ignored.\n"
    "\n"
    "  --check CASES  send every case of the file CASES to the modules of\n"
    "                 saori.ini, bound once, and report in TAP on standard output;\n"
    "                 exit 0 when every case passed, 1 when any failed, 2 when\n"
    "                 the command line or the file is wrong\n"
    "  --update       with --check: write the actual replies into the file's\n"
    "                 reply: lines\n"
    "  --interactive  bind the modules of saori.ini, then send each line of\n"
    "                 standard input as a request and print the reply; :help\n"
    "                 in the session lists its commands\n"
    "  --help         print this text\n"
    "  --version      print the version\n";

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

}  // namespace

Options parse_options(int argc, const char* const* argv) {
  bool check = false;
  bool update = false;
  bool help = false;
  bool version = false;
  bool host = false;
  bool interactive = false;
  std::string cases_path;
  for (int index = 1; index < argc; ++index) {
    const char* argument = argv[index];
    if (!starts_with_dashes(argument)) continue;
    // An option's value comes after it, or after '=' in the same argument.
    const char* equals = std::strchr(argument, '=');
    std::string name = equals != nullptr ? std::string(argument, equals) : argument;
    if (name == "--check") {
      if (check) return usage_error("--check is given twice");
      if (equals != nullptr) {
        cases_path = equals + 1;
      } else if (index + 1 < argc && !starts_with_dashes(argv[index + 1])) {
        cases_path = argv[++index];
      } else {
        cases_path.clear();
      }
      if (cases_path.empty()) return usage_error("--check needs the cases file after it");
      check = true;
    } else if (equals != nullptr &&
               (name == "--update" || name == "--help" || name == "--version" || name == "--host" ||
                name == "--interactive")) {
      return usage_error(name + " takes no value");
    } else if (std::strcmp(argument, "--update") == 0) {
      update = true;
    } else if (std::strcmp(argument, "--interactive") == 0) {
      interactive = true;
    } else if (std::strcmp(argument, "--host") == 0) {
      host = true;
    } else if (std::strcmp(argument, "--help") == 0) {
      help = true;
    } else if (std::strcmp(argument, "--version") == 0) {
      version = true;
    } else {
      return usage_error(std::string("unknown option ") + argument);
    }
  }
  Options options;
  if (help) {
    options.action = Options::kHelp;
  } else if (version) {
    options.action = Options::kVersion;
  } else if (host && (check || update || interactive)) {
    return usage_error("--host takes no other option");
  } else if (host) {
    options.action = Options::kHost;
  } else if (interactive && check) {
    return usage_error("--interactive and --check do not go together");
  } else if (interactive && !update) {
    options.action = Options::kInteractive;
  } else if (update && !check) {
    return usage_error("--update works only with --check");
  } else if (check) {
    options.action = Options::kCheck;
    options.cases_path = std::move(cases_path);
    options.update = update;
  }
  return options;
}
