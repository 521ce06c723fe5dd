#pragma once

// What every check of the validator shares: the module it examines, the
// settings of the run, and the result it gives.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "validate/fault_kind.h"

struct ValidateSettings {
  std::vector<std::string> modules;  // --module: those to examine; empty for all
  std::string cases_path;            // --cases: more seeds
  std::string dictionary_path;       // --dict: more words for the fuzzer
  double fuzz_seconds = 10;
  std::uint64_t seed = 0;
  bool in_process = false;  // every check in this very process, for a debugger
  bool quiet = false;       // --quiet: no binding lines and no warning lines
  bool guard = true;        // --no-guard turns the guarded heap off
  std::string junit_path;   // --junit
  // The tool as the command line named it (argv[0]): a reproducer's command
  // runs the very modtest that found the fault.
  std::string tool = "modtest";
  // Set by the run: where saori.ini is, and how long a call may take.
  std::string directory;
  double call_seconds = 5;
  std::string call_seconds_text = "5";
};

class ModuleHost;
class FuzzSession;

// What a check learned of the module that later checks use.
struct ModuleUnderTest {
  std::string name;
  std::string path;  // its file, as saori.ini names it from the run's folder
  std::vector<std::string> seeds;
  // The fuzzer's dictionary: words of the seeds, of --dict and of the
  // module's own file.
  std::vector<std::string> words;
  bool bound = false;
  bool repeatable = true;
  bool faults_after_release = false;  // found by the release check
  std::string first_reply;            // to the first seed, in the requests check
  bool has_first_reply = false;
  // The replies found to lie in static data or on the stack, by the checks
  // that sent requests: the reply-blocks check reports them.
  std::vector<std::string> foreign_replies;
  // The requests that made the module fault, and the reproducers kept:
  // later checks leave such requests out and name a fault found before
  // rather than keep it twice.
  std::vector<std::string> faulted;
  std::vector<std::string> warned;  // contract warnings found already
  // Every contract warning the hosts sent, once per kind, and how often:
  // told on standard error once the module's checks are done.
  struct ToldWarning {
    std::string kind;  // the words with their numbers left out
    std::string text;  // the first one's words
    std::uint64_t times;
  };
  std::vector<ToldWarning> told;
  struct KeptFinding {
    std::string request;
    FaultKind fault;
    std::string check;
    std::string reproduce;
  };
  std::vector<KeptFinding> kept;
  // The module's fuzzing, started before the checks before it.
  std::shared_ptr<FuzzSession> fuzzing;
  // With coverage (include/modtest/coverage.c): the requests kept for
  // reaching new edges, the first `corpus_kept` read from its corpus
  // folder, and the most edges a fuzzing host saw reached.
  bool coverage = false;
  std::vector<std::string> corpus;
  std::size_t corpus_kept = 0;
  std::uint64_t edges = 0;
};

struct CheckResult {
  enum Outcome { kPassed, kFinding, kSkipped };
  Outcome outcome = kPassed;
  // A finding in the module writer's words, or why the check was skipped.
  std::string message;
  // The YAML block's lines: a key and its value, written as is when
  // `quoted` is false (numbers), else quoted.
  struct Field {
    std::string key;
    std::string value;
    bool quoted;
  };
  std::vector<Field> fields;
  // More items of the same kind, each with fields of its own, written
  // under `list_key` after the fields: the faults beyond the first.
  std::string list_key;
  std::vector<std::vector<Field>> list;
  double seconds = 0;
  // Time the check took before its turn came, such as a fuzzer started
  // early beside the checks before it.
  double seconds_before_turn = 0;

  void number(const std::string& key, double value);
  void text(const std::string& key, const std::string& value);
  void find(const std::string& what) {
    outcome = kFinding;
    message = what;
  }
  void skip(const std::string& why) {
    outcome = kSkipped;
    message = why;
  }
};

using CheckFunction = CheckResult (*)(const ValidateSettings& settings, ModuleUnderTest& module);

struct ValidateCheck {
  const char* name;
  CheckFunction run;
};
