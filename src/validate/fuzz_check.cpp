// The fuzz check: the module's fuzz session (fuzz_session.h) to its end,
// then every distinct fault it met kept with a reproducer of its own.

#include <algorithm>
#include <cstdio>

#include "validate/check_host.h"
#include "validate/corpus_folder.h"
#include "validate/finding_file.h"
#include "validate/fuzz_session.h"
#include "validate/status_line.h"
#include "validate/validate_checks.h"

namespace {

// Distinct faults kept, each shrunk in fresh processes: a module that
// faults everywhere would otherwise take the run's whole time shrinking.
constexpr std::size_t kMostFaultsKept = 8;
// How long the check waits for the sessions each time round, and how
// often the progress line changes.
constexpr double kLookAfterSeconds = 0.02;
constexpr double kProgressSeconds = 0.2;

// One fault's fields: its words, what and where, and its reproducer.
std::vector<CheckResult::Field> describe_met_fault(const ValidateSettings& settings,
                                                   ModuleUnderTest& module, const MetFault& met,
                                                   std::vector<FaultMet>& more) {
  CheckResult part;
  part.find(describe_fault_in_request(met.fault, settings));
  part.text("message", part.message);
  describe_fault_identity(met.fault, part);
  if (met.times > 1) part.number("times", static_cast<double>(met.times));
  if (!met.request_known) {
    part.text("reproduce", "none: the host did not say which request");
    return part.fields;
  }
  report_faulting_request(part, settings, module, "fuzz", met.request, met.fault, &more);
  return part.fields;
}

// With coverage: the edges reached, and the corpus, its new requests kept
// for the next run.
void report_coverage(ModuleUnderTest& module, CheckResult& result) {
  if (!module.coverage) return;
  result.number("edges", static_cast<double>(module.edges));
  std::vector<std::string> found(module.corpus.begin() + module.corpus_kept, module.corpus.end());
  std::string why;
  keep_corpus(module.name, found, why);
  module.corpus_kept = module.corpus.size();
  result.number("corpus", static_cast<double>(module.corpus.size()));
  // Said once: the next module's corpus would fail the same way.
  static bool said = false;
  if (!why.empty() && !said) std::fprintf(stderr, "modtest: %s\n", why.c_str());
  said = said || !why.empty();
}

}  // namespace

void start_fuzz(const ValidateSettings& settings, ModuleUnderTest& module) {
  if (settings.in_process) return;
  auto session = std::make_shared<FuzzSession>(settings, module);
  std::string why;
  if (session->start(why)) module.fuzzing = session;
}

CheckResult check_fuzz(const ValidateSettings& settings, ModuleUnderTest& module) {
  CheckResult result = skipped_unbound(module);
  if (!module.bound) return result;
  std::shared_ptr<FuzzSession> session = std::move(module.fuzzing);
  if (session == nullptr) {
    session = std::make_shared<FuzzSession>(settings, module);
    std::string why;
    if (!session->start(why)) {
      result.find(why);
      return result;
    }
  }
  result.seconds_before_turn = fuzz_clock_seconds() - session->started_at;
  StatusLine status(!settings.quiet);
  double shown = 0;
  // Every session is looked after while this one's time runs: those of the
  // modules after this one go on meanwhile.
  while (!session->done()) {
    look_after_fuzzing(kLookAfterSeconds);
    if (fuzz_clock_seconds() - shown < kProgressSeconds) continue;
    shown = fuzz_clock_seconds();
    char progress[160];
    std::snprintf(progress, sizeof progress,
                  "modtest: %.60s: fuzz, %.1f s of %g s, %llu requests, %llu faults (%zu distinct)",
                  module.name.c_str(), session->spent, settings.fuzz_seconds,
                  static_cast<unsigned long long>(session->requests),
                  static_cast<unsigned long long>(session->faults), session->met.size());
    status.show(progress);
  }
  status.clear();
  note_warnings(session->warnings, result, module, session->warned_request);
  result.number("seed", static_cast<double>(settings.seed));
  result.number("requests", static_cast<double>(session->requests));
  result.number("seconds", session->spent);
  result.number("restarts", static_cast<double>(session->restarts));
  if (!module.words.empty()) {
    result.number("dictionary_words", static_cast<double>(module.words.size()));
  }
  report_coverage(module, result);
  std::vector<MetFault> met = session->met;
  if (met.empty()) return result;
  // Shrinking comes after the fuzz time, so that it takes none of it; a
  // fault met while shrinking is one more in its own right.
  std::vector<FaultMet> more;
  std::vector<std::vector<CheckResult::Field>> described;
  for (std::size_t index = 0; index < met.size() && described.size() < kMostFaultsKept; ++index) {
    described.push_back(describe_met_fault(settings, module, met[index], more));
    for (const FaultMet& extra : more) note_fault(met, extra.fault, extra.request, true);
    more.clear();
  }
  result.find(describe_fault_in_request(met.front().fault, settings));
  if (described.size() > 1) {
    result.message += ", and " + std::to_string(described.size() - 1) +
                      (described.size() == 2 ? " other distinct fault" : " other distinct faults");
  }
  for (CheckResult::Field& field : described.front()) {
    if (field.key != "message") result.fields.push_back(field);
  }
  result.list_key = "other_faults";
  result.list.assign(described.begin() + 1, described.end());
  return result;
}
