#include "validate/validate_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "modules/module_field_reader.h"
#include "platform/environment.h"
#include "platform/fault_reporting.h"
#include "platform/standard_output.h"
#include "report/junit_writer.h"
#include "run_terms/exit_code.h"
#include "run_terms/timeout_setting.h"
#include "text/text_file.h"
#include "validate/module_dictionary.h"
#include "validate/request_seeds.h"
#include "validate/validate_checks.h"
#include "validate/validate_report.h"

namespace {

using Clock = std::chrono::steady_clock;

// The names of the module list's entries, each once, in the list's order,
// and the file of each name's first entry. False when the list cannot be
// opened.
bool list_module_names(const std::string& directory, std::vector<std::string>& names,
                       std::vector<std::string>& paths) {
  std::string path = directory + "saori.ini";
  TextFile* file = open_text_file(path.c_str());
  if (file == nullptr) return false;
  std::vector<char> line(32768);
  std::vector<char> name(kFieldCapacity);
  std::vector<char> path_field(kFieldCapacity);
  while (read_text_chunk(file, line.data(), line.size()) != 0) {
    if (!split_module_line(line.data(), name.data(), path_field.data())) continue;
    if (std::find(names.begin(), names.end(), name.data()) == names.end()) {
      names.emplace_back(name.data());
      paths.push_back(directory + path_field.data());
    }
  }
  close_text_file(file);
  return true;
}

// In one process a fault ends the run: the report then says so, in the
// words TAP has for a run given up.
int bail_out(const char* fault, int exit_code) {
  static const char kBailOut[] = "Bail out! ";
  write_output_now(kBailOut, sizeof kBailOut - 1);
  write_output_now(fault, std::strlen(fault));
  write_output_now("\n", 1);
  return exit_code;
}

// Each kind of contract warning once, with how often the hosts met it.
void tell_warnings(const ModuleUnderTest& module) {
  for (const ModuleUnderTest::ToldWarning& told : module.told) {
    std::fprintf(stderr, "modtest: module %s (%s) %s", module.name.c_str(), module.path.c_str(),
                 told.text.c_str());
    if (told.times > 1)
      std::fprintf(stderr, " (%llu times)", static_cast<unsigned long long>(told.times));
    std::fputc('\n', stderr);
  }
}

int usage_error(const std::string& what, const char* usage_line) {
  std::fprintf(stderr, "modtest: %s\n%s", what.c_str(), usage_line);
  return kExitUsage;
}

}  // namespace

std::uint64_t seed_from_clock() {
  // Small enough to type back in.
  return static_cast<std::uint64_t>(Clock::now().time_since_epoch().count()) % 1000000007;
}

int run_validate(ValidateSettings settings, const char* usage_line) {
  std::vector<std::string> listed;
  std::vector<std::string> listed_paths;
  if (!list_module_names(settings.directory, listed, listed_paths)) {
    return usage_error("saori.ini could not be opened in " + settings.directory, usage_line);
  }
  std::vector<std::string> names = settings.modules.empty() ? listed : settings.modules;
  for (const std::string& name : names) {
    if (std::find(listed.begin(), listed.end(), name) == listed.end()) {
      return usage_error("saori.ini lists no module named \"" + name + "\"", usage_line);
    }
  }
  if (names.empty()) return usage_error("saori.ini lists no module", usage_line);
  std::vector<std::string> seeds;
  std::vector<std::string> errors;
  // As --check reports the same file: a wrong one with every problem and
  // no usage, since the command line itself was right.
  switch (gather_seeds(settings.directory, settings.cases_path, seeds, errors)) {
    case kSeedsFileUnreadable:
      return usage_error(errors.front(), usage_line);
    case kSeedsFileBad:
      for (const std::string& line : errors) std::fprintf(stderr, "modtest: %s\n", line.c_str());
      return kExitUsage;
    case kSeedsGathered:
      break;
  }
  std::string error;
  std::vector<std::string> dictionary;
  if (!settings.dictionary_path.empty() &&
      !read_dictionary_file(settings.dictionary_path, dictionary, error)) {
    return usage_error(error, usage_line);
  }
  // Every host inherits the call's time limit from the environment.
  // main has set it when the user did not.
  const char* timeout = std::getenv("MODTEST_TIMEOUT");
  double seconds = timeout != nullptr ? parse_timeout_setting(timeout) : 0;
  if (seconds > 0) {
    settings.call_seconds = seconds;
    settings.call_seconds_text = timeout;
  }

  // Standard output carries the report alone; the binding lines and
  // whatever a module prints in this process go to standard error.
  reserve_standard_output();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  if (settings.in_process) set_fault_epilogue(bail_out);

  std::vector<ModuleUnderTest> modules(names.size());
  for (std::size_t index = 0; index < names.size(); ++index) {
    modules[index].name = names[index];
    modules[index].seeds = seeds;
    std::size_t listed_at = static_cast<std::size_t>(
        std::find(listed.begin(), listed.end(), names[index]) - listed.begin());
    modules[index].path = listed_paths[listed_at];
    modules[index].words = module_dictionary(modules[index].path, seeds, dictionary);
  }
  const std::vector<ValidateCheck>& checks = validate_checks();
  std::size_t total = modules.size() * checks.size();
  std::size_t number = 0;
  std::size_t findings = 0;
  std::size_t skipped = 0;
  JUnitReport junit;
  // The fuzz loops of several modules run side by side, one a processor.
  std::size_t fuzzing_at_once = std::max(1u, processor_count());
  std::size_t fuzz_started = 0;
  start_validate_report(total);
  for (std::size_t index = 0; index < modules.size(); ++index) {
    for (; fuzz_started < std::min(modules.size(), index + fuzzing_at_once); ++fuzz_started) {
      start_fuzz(settings, modules[fuzz_started]);
    }
    ModuleUnderTest& module = modules[index];
    // The bind check says whether the module binds; until then every
    // check is allowed to try.
    module.bound = true;
    for (const ValidateCheck& check : checks) {
      Clock::time_point start = Clock::now();
      CheckResult result = check.run(settings, module);
      result.seconds =
          std::chrono::duration<double>(Clock::now() - start).count() + result.seconds_before_turn;
      report_check(++number, module.name, check.name, result);
      add_junit_result(junit, module.name, check.name, result);
      findings += result.outcome == CheckResult::kFinding ? 1 : 0;
      skipped += result.outcome == CheckResult::kSkipped ? 1 : 0;
      if (check.run == check_bind && !module.bound) module.fuzzing.reset();
    }
    if (!settings.quiet) tell_warnings(module);
  }
  end_validate_report(total, findings, skipped);
  if (!settings.junit_path.empty() && !write_junit_file(junit, settings.junit_path, error)) {
    std::fprintf(stderr, "modtest: %s\n", error.c_str());
    return kExitUsage;
  }
  return findings != 0 ? kExitCasesFailed : kExitSuccess;
}
