#include "driver/check_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "driver/cases_file.h"
#include "driver/cases_update.h"
#include "driver/exit_code.h"
#include "driver/options.h"
#include "driver/program_directory.h"
#include "driver/report_output.h"
#include "modules/host_memory.h"
#include "modules/module_registry.h"
#include "platform/fault_reporting.h"
#include "platform/files.h"
#include "platform/process_memory.h"
#include "platform/standard_output.h"

namespace {

// A name made of the request shows this many of its bytes.
constexpr std::size_t kRequestNameLimit = 60;

// Where the run is, for the fault epilogue: it may read this and the cases,
// which stay as they are while a module runs.
struct Progress {
  enum Phase { kBinding, kCases, kUnloading };
  Phase phase = kBinding;
  const CasesFile* file = nullptr;
  std::size_t current = 0;  // index of the case being sent
  unsigned long repetition = 0;
  std::size_t passed = 0;
  std::size_t failed = 0;
};
Progress progress;

// What one case came to.
struct Outcome {
  bool passed = false;
  const char* message = nullptr;  // why it failed, when not by its reply
  char* reply = nullptr;          // the last reply received, host memory
  std::size_t reply_length = 0;
  bool mismatch = false;
  std::size_t first_difference = 0;
  unsigned long sent = 0;  // requests sent
  double total_seconds = 0;
  double slowest_seconds = 0;
  long long memory_growth = 0;  // bytes
};

void report_case_line(bool passed, std::size_t index) {
  const CheckCase& check_case = progress.file->cases[index];
  report_text(passed ? "ok " : "not ok ");
  report_number(index + 1);
  bool named = check_case.name.length != 0;
  std::string_view name =
      progress.file->view(check_case, named ? check_case.name : check_case.request);
  if (name.empty()) return;
  report_text(" - ");
  report_description(name.data(), name.size(), named ? name.size() : kRequestNameLimit);
}

void report_field(const char* key, const char* bytes, std::size_t length) {
  report_text("  ");
  report_text(key);
  report_text(": ");
  report_quoted(bytes, length);
  report_text("\n");
}

void report_field(const char* key, std::string_view bytes) {
  report_field(key, bytes.data(), bytes.size());
}

void report_count(const char* key, unsigned long long count) {
  report_text("  ");
  report_text(key);
  report_text(": ");
  report_number(count);
  report_text("\n");
}

// What every failed case says of itself, up to the replies.
void report_failure_head(const CheckCase& check_case, const char* message,
                         std::size_t message_length) {
  report_text("  ---\n");
  if (message != nullptr) {
    report_text("  message: ");
    report_quoted(message, message_length);
    report_text("\n");
  }
  const CasesFile& file = *progress.file;
  report_count("line", check_case.line);
  report_field("module", file.modules[check_case.module]);
  report_field("request", file.view(check_case, check_case.request));
  if (check_case.has_reply) report_field("expected", file.view(check_case, check_case.reply));
}

void report_plan_and_summary(std::size_t not_run) {
  report_text("1..");
  report_number(progress.file->cases.size());
  report_text("\n# ");
  report_number(progress.passed);
  report_text(" passed, ");
  report_number(progress.failed);
  report_text(" failed");
  if (not_run != 0) {
    report_text(", ");
    report_number(not_run);
    report_text(" not run");
  }
  report_text("\n");
}

// Runs where a fault handler does, after its line on standard error: ends
// the report so that it still holds every case, the plan and the summary.
int finish_cut_report(const char* fault, int exit_code) {
  if (exit_code == kExitOwnFault) return exit_code;
  std::size_t fault_length = std::strlen(fault);
  if (progress.phase != Progress::kCases) {
    // Binding or unloading: no case to pin it on.
    // A bail-out reason is plain text to its end: no escapes, unlike a
    // case's description. The fault line holds no line feed.
    report_text("Bail out! ");
    report_text(fault);
    report_text("\n");
    report_flush();
    return kExitCasesFailed;
  }
  const std::vector<CheckCase>& cases = progress.file->cases;
  const CheckCase& cut = cases[progress.current];
  const std::string& module = progress.file->modules[cut.module];
  report_case_line(false, progress.current);
  report_text("\n");
  report_failure_head(cut, fault, fault_length);
  if (cut.repeat > 1) report_count("repetition", progress.repetition);
  report_text("  ...\n");
  progress.failed += 1;
  const char* what = exit_code == kExitModuleTimedOut       ? " did not return in case "
                     : exit_code == kExitModuleEndedProcess ? " ended the process in case "
                                                            : " crashed in case ";
  for (std::size_t index = progress.current + 1; index < cases.size(); ++index) {
    report_case_line(false, index);
    report_text(" # SKIP not run: module ");
    report_description(module.data(), module.size(), module.size());
    report_text(what);
    report_number(progress.current + 1);
    report_text("\n");
  }
  report_plan_and_summary(cases.size() - progress.current - 1);
  report_flush();
  return kExitCasesFailed;
}

// Says why a case could not be sent to `record`; null when it can be.
const char* unsendable_reason(const ModuleRegistry& registry, const ModuleRecord* record) {
  if (registry.head == nullptr) return "saori.ini did not open, so no module is bound";
  if (record == nullptr) return "saori.ini lists no module of this name";
  if (get_state(record) != 1) {
    return "the module is not bound: its library did not load, or its load did not return 1 "
           "(see standard error)";
  }
  if (record->request_entry == nullptr) return "the module exports no request";
  return nullptr;
}

// Sends the request as often as the case says, each reply compared, and
// stops at the first that fails.
void send_repeats(ModuleRecord* record, const CheckCase& check_case, Outcome& outcome) {
  using Clock = std::chrono::steady_clock;
  std::string_view request = progress.file->view(check_case, check_case.request);
  std::string_view expected = progress.file->view(check_case, check_case.reply);
  for (unsigned long repetition = 1; repetition <= check_case.repeat; ++repetition) {
    progress.repetition = repetition;
    host_release(outcome.reply);
    outcome.reply = nullptr;
    Clock::time_point start;
    if (check_case.has_repeat) start = Clock::now();
    int sent = exchange_with_module(record, request.data(), request.size(), &outcome.reply,
                                    &outcome.reply_length);
    if (check_case.has_repeat) {
      double seconds = std::chrono::duration<double>(Clock::now() - start).count();
      outcome.total_seconds += seconds;
      if (seconds > outcome.slowest_seconds) outcome.slowest_seconds = seconds;
    }
    if (!sent) {
      outcome.message = "no memory was left for the request block (see standard error)";
      return;
    }
    outcome.sent = repetition;
    // Growth is counted from the end of the first request: what a module
    // sets up once is not a leak.
    if (check_case.has_repeat && repetition == 1) {
      outcome.memory_growth = -static_cast<long long>(get_memory_use().resident);
    }
    if (outcome.reply == nullptr) {
      outcome.message = "no memory was left for a copy of the reply";
      return;
    }
    if (!check_case.has_reply) continue;
    std::size_t common = std::min(expected.size(), outcome.reply_length);
    std::size_t at = 0;
    if (std::memcmp(expected.data(), outcome.reply, common) != 0) {
      while (expected[at] == outcome.reply[at]) ++at;
    } else {
      at = common;
    }
    if (at != expected.size() || at != outcome.reply_length) {
      outcome.mismatch = true;
      outcome.first_difference = at;
      return;
    }
  }
  outcome.passed = true;
}

void send_case(ModuleRecord* record, const CheckCase& check_case, Outcome& outcome) {
  send_repeats(record, check_case, outcome);
  if (check_case.has_repeat && outcome.sent != 0) {
    outcome.memory_growth += static_cast<long long>(get_memory_use().resident);
  }
}

void report_timing(const Outcome& outcome) {
  char line[160];
  double mean = outcome.sent != 0 ? outcome.total_seconds / outcome.sent : 0;
  std::snprintf(line, sizeof line,
                "  mean_us: %.1f\n  slowest_us: %.1f\n  memory_growth_kib: %lld\n", mean * 1e6,
                outcome.slowest_seconds * 1e6, outcome.memory_growth / 1024);
  report_text(line);
}

void report_outcome(std::size_t index, const Outcome& outcome) {
  const CheckCase& check_case = progress.file->cases[index];
  report_case_line(outcome.passed, index);
  report_text("\n");
  if (!outcome.passed) {
    report_failure_head(check_case, outcome.message,
                        outcome.message != nullptr ? std::strlen(outcome.message) : 0);
    if (outcome.reply != nullptr) report_field("actual", outcome.reply, outcome.reply_length);
    if (outcome.mismatch) report_count("first_difference", outcome.first_difference);
    if (check_case.repeat > 1 && outcome.sent != 0) report_count("repetition", outcome.sent);
  } else if (!check_case.has_reply || check_case.has_repeat) {
    report_text("  ---\n");
    if (!check_case.has_reply) report_field("actual", outcome.reply, outcome.reply_length);
  }
  if (check_case.has_repeat && outcome.sent != 0) {
    report_count("repeat", check_case.repeat);
    report_timing(outcome);
  }
  if (!outcome.passed || !check_case.has_reply || check_case.has_repeat) report_text("  ...\n");
}

// The actual reply of a case, kept for --update when it changes the file.
void keep_for_update(const CheckCase& check_case, const Outcome& outcome,
                     std::vector<ReplyEdit>& edits) {
  if (outcome.reply == nullptr) return;
  std::string_view actual(outcome.reply, outcome.reply_length);
  if (check_case.has_reply && actual == progress.file->view(check_case, check_case.reply)) return;
  bool add = !check_case.has_reply;
  edits.push_back({add ? check_case.request_line : check_case.reply_line, add, std::string()});
  edits.back().value.assign(actual);
}

// Writes the kept replies into the file. Returns false after saying why on
// standard error when the file could not be rewritten.
bool update_cases_file(const std::string& path, std::vector<ReplyEdit>& edits) {
  std::vector<ReplyEdit> encodable;
  for (ReplyEdit& edit : edits) {
    std::string value;
    if (encode_reply_value(edit.value, value)) {
      encodable.push_back({edit.line, edit.add_after, std::move(value)});
    } else {
      std::fprintf(stderr,
                   "modtest: %s:%zu: the reply holds a byte 0x1A, or a two-byte lead byte before "
                   "a line break, which no line of the file can hold; left as it was\n",
                   path.c_str(), edit.line);
    }
  }
  if (encodable.empty()) return true;
  std::string original;
  if (std::FILE* in = open_binary_file(path.c_str())) {
    char chunk[64 * 1024];
    for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;) {
      original.append(chunk, got);
    }
    std::fclose(in);
  } else {
    std::fprintf(stderr, "modtest: cannot read %s again to update it\n", path.c_str());
    return false;
  }
  std::vector<std::size_t> refused;
  std::string updated = apply_reply_edits(original, encodable, refused);
  for (std::size_t line : refused) {
    std::fprintf(stderr,
                 "modtest: %s:%zu: the line lies after a byte 0x1A, which ends the file; left "
                 "as it was\n",
                 path.c_str(), line);
  }
  // A new file beside the old one takes its place whole, so that a failed
  // write leaves the cases as they were.
  std::string temporary = path + ".modtest-update";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  bool written =
      out != nullptr && std::fwrite(updated.data(), 1, updated.size(), out) == updated.size();
  if (out != nullptr && std::fclose(out) != 0) written = false;
  if (!written || !replace_file(temporary.c_str(), path.c_str())) {
    std::remove(temporary.c_str());
    std::fprintf(stderr, "modtest: cannot write the updated cases to %s\n", path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int run_check(const std::string& cases_path, bool update) {
  CasesFile file;
  std::vector<std::string> errors;
  CasesFileResult read = read_cases_file(cases_path, file, errors);
  if (read == kCasesFileUnreadable) {
    std::fprintf(stderr, "modtest: cannot open the cases file %s\n%s", cases_path.c_str(),
                 kUsageLine);
    return kExitUsage;
  }
  if (read == kCasesFileBad) {
    for (const std::string& error : errors) std::fprintf(stderr, "modtest: %s\n", error.c_str());
    return kExitUsage;
  }

  // Standard output carries the report alone; the binding lines and
  // whatever a module prints go to standard error, unbuffered so that they
  // stay in order with the host's warnings there.
  reserve_standard_output();
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  progress.file = &file;
  report_text("TAP version 13\n");
  set_fault_epilogue(finish_cut_report);

  std::string directory;
  get_program_directory(directory);
  ModuleRegistry registry;
  init_registry(&registry);
  load_module_list(&registry, directory.c_str());

  progress.phase = Progress::kCases;
  // Each module name of the file looked up once.
  std::vector<ModuleRecord*> records;
  for (const std::string& name : file.modules)
    records.push_back(find_module(&registry, name.c_str()));
  std::vector<ReplyEdit> edits;
  for (std::size_t index = 0; index < file.cases.size(); ++index) {
    const CheckCase& check_case = file.cases[index];
    progress.current = index;
    ModuleRecord* record = records[check_case.module];
    Outcome outcome;
    outcome.message = unsendable_reason(registry, record);
    if (outcome.message == nullptr) send_case(record, check_case, outcome);
    if (outcome.passed) {
      progress.passed += 1;
    } else {
      progress.failed += 1;
    }
    report_outcome(index, outcome);
    if (update) keep_for_update(check_case, outcome, edits);
    host_release(outcome.reply);
  }

  progress.phase = Progress::kUnloading;
  unload_all_modules(&registry);
  end_registry(&registry);
  report_plan_and_summary(0);
  report_flush();
  set_fault_epilogue(nullptr);

  if (update && !update_cases_file(cases_path, edits)) return kExitUsage;
  return progress.failed == 0 ? kExitSuccess : kExitCasesFailed;
}
