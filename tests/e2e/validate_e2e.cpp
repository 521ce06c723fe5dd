// The validator against probe modules: those that keep the contract pass
// every check with nothing on standard error but their binding lines; each
// broken one is found by the check its fault belongs to, and a request that
// made it fault is kept as a cases file that --check replays.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>

#include "run_folder.h"

namespace {

struct ValidateRow {
  const char* name;
  const char* probe;
  const char* environment;
  const char* finding;   // the check that must find it; "" for a module that keeps the contract
  const char* also;      // checks that may find the same fault, blank-separated
  const char* message;   // in the finding's message
  const char* replayed;  // in --check's standard error when it replays the reproducer; "" for none
  // The request of test.ini, as the file writes it; "" for "hello".
  const char* seed = "";
  // How long it is fuzzed, and how many distinct faults its finding holds.
  const char* fuzz_seconds = "1";
  std::size_t faults = 1;
  // Whether a reproducer keeps, commented out, the longer request first met.
  bool first_met = false;
  // The check skipped for a module that keeps the contract, with `message`.
  const char* skipped = "";
  const char* options = "";  // more options for --validate
  // Built with include/modtest/coverage.c: the fuzz check gives edges and a
  // corpus, which the next run starts from.
  bool coverage = false;
};

// A request of lines: a command line, header lines, an empty line.
#define HEADER(lines) "\"" lines "\\\\r\\\\n\""
#define LINE(text) text "\\\\r\\\\n"

// A memory error made on every request is met by every check that sends
// one; without the guard (the leak and release checks) some still crash.
constexpr const char kHeapErrorAlso[] = "long-requests fuzz request-bounds leak release reload";

const ValidateRow kRows[] = {
    {"Echo", "echo", "", "", "", "", ""},
    {"Counter", "counter", "", "", "", "", ""},
    // Its reply to "tick" differs from process to process, to the rest not:
    // the other seeds still tell whether it reads beyond the request.
    {"OneCommandNotRepeatable", "tick", "", "", "", "", "", "tick"},
    {"TerminatedEcho", "echo_terminated", "", "", "", "", ""},
    // Too few requests in the leak check's time to tell anything.
    {"SlowRequests", "slow_request", "", "", "", "requests were measured, too few", "", "", "0.2",
     1, false, "leak"},
    {"FixedReply", "world", "", "", "", "", ""},
    {"LoadRefused", "load_0", "", "bind", "", "returned 0 from load, not 1", ""},
    {"SlowLoad", "slow_load", "MODTEST_TIMEOUT=5", "bind", "", "took longer than 2 s to load", ""},
    {"CrashOnEmpty", "crash_on_empty", "", "requests", "fuzz", "crashed in request",
     "crashed in request"},
    {"HangOnTab", "hang_on_tab", "MODTEST_TIMEOUT=1", "requests", "fuzz",
     "did not return within 1 s in request", "has not returned from request after 1 s"},
    {"ExitOnLoneLeadByte", "exit_on_lead_byte", "", "requests", "fuzz",
     "ended the process in request", "ended the process in request"},
    {"NegativeLength", "length_negative", "", "requests", "fuzz",
     "set a negative reply length (-5)", ""},
    {"CrashOnLongRequest", "crash_on_long", "", "long-requests", "fuzz", "crashed in request",
     "crashed in request", "", "1", 1, true},
    {"CrashOnBackslash", "crash_on_backslash", "", "fuzz", "", "crashed in request",
     "crashed in request"},
    // Its helper process holds the host's pipes after the host crashed:
    // the crash is still a crash, not a host that never answered.
    {"HelperOutlivesHost", "fork_in_load", "", "requests", "fuzz", "crashed in request",
     "crashed in request"},
    // With the guarded heap its read past the request faults; without it
    // the reply's change with the bytes after the request tells.
    {"ReadsToNul", "read_to_nul", "", "requests", "long-requests fuzz request-bounds reload",
     "read 1 byte past the end of the 5-byte request block", "crashed in request"},
    {"ReadsToNulUnguarded", "read_to_nul", "", "request-bounds", "",
     "reads beyond the request's length", "", "", "1", 1, false, "", "--no-guard"},
    {"StaticReply", "reply_static", "", "reply-blocks", "",
     "no block of its own (it points into the module's static data)", ""},
    {"Leak", "leak_per_request", "", "leak", "", "memory grew by", ""},
    {"ThreadAfterRelease", "thread_after_release", "", "release", "",
     "crashed after its library was released", ""},
    {"LoadsOnce", "load_once", "", "reload", "", "did not load again", ""},
    // Deeper bugs, behind the first line of a request of lines: a word that
    // stands only in the module's image, a line added to the seed's, a
    // command before its set-up, a C string into a fixed buffer, and three
    // bugs at three places, each its own finding.
    {"HeaderOk", "header_ok", "", "", "", "", "", HEADER(LINE("GET PROBE/1.0") LINE("Charset: x")),
     "10"},
    {"WordOfTheImage", "header_word", "", "fuzz", "", "crashed in request", "crashed in request",
     HEADER(LINE("GET PROBE/1.0") LINE("Charset: ascii")), "10"},
    {"AddedLine", "header_added_line", "", "fuzz", "", "crashed in request", "crashed in request",
     HEADER(LINE("GET PROBE/1.0") LINE("Argument0: hello")), "10"},
    {"CommandBeforeItsSetUp", "header_order", "", "fuzz", "", "crashed in request",
     "crashed in request", HEADER(LINE("OPEN PROBE/1.0")), "10"},
    {"CStringIntoFixedBuffer", "cstring_256", "", "long-requests", "fuzz", "crashed in request",
     "crashed in request"},
    // Twice the default time: under Wine on a busy machine ten seconds
    // sometimes met only two of the three.
    {"ThreeBugs", "three_bugs", "", "fuzz", "", "and 2 other distinct faults", "crashed in request",
     HEADER(LINE("GET PROBE/1.0") LINE("Argument0: x") LINE("Count: 5") LINE("Sender: me")), "20",
     3},
    // Memory errors that crash nowhere of themselves, each made on every
    // request: the guarded heap finds them where they happen, or where the
    // block is freed, and says where the module's code made them.
    {"MallocOverrun", "heap_malloc_overrun", "", "requests", kHeapErrorAlso,
     "wrote 1 byte past the end of its own 12-byte block (allocated at heap_malloc_overrun",
     "crashed in request"},
    {"ReplyBlockOverrun", "heap_reply_overrun", "", "requests", kHeapErrorAlso,
     "wrote 1 byte past the end of its own 5-byte block (allocated at heap_reply_overrun",
     "crashed in request"},
    {"ReadPastLength", "heap_read_past_length", "", "requests", kHeapErrorAlso,
     "read 1 byte past the end of the 5-byte request block", "crashed in request"},
    {"UseAfterFree", "heap_use_after_free", "", "requests", kHeapErrorAlso,
     "read a block it had freed: its own 64-byte block (allocated at heap_use_after_free",
     "crashed in request"},
    {"DoubleFree", "heap_double_free", "", "requests", kHeapErrorAlso,
     "freed a block twice: its own 32-byte block, first freed at heap_double_free",
     "crashed in request"},
    {"NewArrayOverrun", "heap_new_overrun", "", "requests", kHeapErrorAlso,
     "wrote 1 byte past the end of its own 20-byte block (allocated at heap_new_overrun",
     "crashed in request"},
    {"HeapKeptInBounds", "heap_ok", "", "", "", "", ""},
    {"NewArrayKeptInBounds", "heap_new_ok", "", "", "", "", ""},
    // Faults that need coverage: a number that stands only in the code,
    // and a key, again only in the code, and then its value. Built with
    // gcc (or MinGW) and with clang, and without coverage, where the
    // fuzzer finds nothing and says nothing of coverage.
    {"NumberInTheCode", "magic_number", "", "fuzz", "", "crashed in request", "crashed in request",
     HEADER(LINE("GET PROBE/1.0") LINE("Value: 12")), "10", 1, false, "", "", true},
    {"NumberInTheCodeClang", "magic_number_clang", "", "fuzz", "", "crashed in request",
     "crashed in request", HEADER(LINE("GET PROBE/1.0") LINE("Value: 12")), "10", 1, false, "", "",
     true},
    {"NumberInTheCodeWithoutCoverage", "magic_number_plain", "", "", "", "", "",
     HEADER(LINE("GET PROBE/1.0") LINE("Value: 12")), "2"},
    {"KeyThenItsValue", "two_words", "", "fuzz", "", "crashed in request", "crashed in request",
     HEADER(LINE("GET PROBE/1.0") LINE("Name: x")), "10", 1, false, "", "", true},
    {"KeyThenItsValueClang", "two_words_clang", "", "fuzz", "", "crashed in request",
     "crashed in request", HEADER(LINE("GET PROBE/1.0") LINE("Name: x")), "10", 1, false, "", "",
     true},
    {"KeyThenItsValueWithoutCoverage", "two_words_plain", "", "", "", "", "",
     HEADER(LINE("GET PROBE/1.0") LINE("Name: x")), "2"},
    // Windows only: a fail-fast leaves no handler to run, and the host's
    // watcher says so; every request sets it off.
    {"FailFast", "fail_fast_request", "", "requests", "long-requests fuzz leak release reload",
     "crashed in request", "ended the run in request without a report"},
};

void PrintTo(const ValidateRow& row, std::ostream* out) {
  *out << row.name;
}

bool is_binding_line(const std::string& line) {
  return line == "dll loading." || line.rfind("name:", 0) == 0 || line.rfind("path:", 0) == 0;
}

// The checks of `report` that found something (their names after the
// module's), the finding's messages and the reproducer commands.
void read_report(const std::string& report, std::set<std::string>& found,
                 std::vector<std::string>& reproducers, std::string& messages) {
  std::istringstream lines(report);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("not ok ", 0) == 0) found.insert(line.substr(line.find(": ") + 2));
    if (line.rfind("  message: ", 0) == 0) messages += line + "\n";
    // The first fault's fields, and those of the faults after it in a list.
    const std::string reproduce = "reproduce: \"";
    std::size_t field = line.find_first_not_of(" -");
    if (field != std::string::npos && line.compare(field, reproduce.size(), reproduce) == 0 &&
        line.find(" --check ") != std::string::npos) {
      std::size_t start = field + reproduce.size();
      reproducers.push_back(line.substr(start, line.size() - start - 1));
    }
  }
}

// The guarded heap's words, as its findings give them.
bool is_memory_error(const std::string& message) {
  for (const char* words : {"past the end of", "had freed", "freed a block twice"}) {
    if (message.find(words) != std::string::npos) return true;
  }
  return false;
}

// A number field of the report, the first of its name; -1 for none.
long long number_field(const std::string& report, const std::string& key) {
  std::size_t at = report.find("\n  " + key + ": ");
  if (at == std::string::npos) return -1;
  return std::stoll(report.substr(at + key.size() + 5));
}

std::size_t files_in(const std::filesystem::path& folder) {
  std::size_t files = 0;
  if (!std::filesystem::exists(folder)) return 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    files += entry.is_regular_file();
  }
  return files;
}

// A module with coverage: its corpus is kept, and the next run starts from
// it; a module without has neither edges nor corpus.
void expect_corpus_kept(RunFolder& folder, const ValidateRow& row, const std::string& report) {
  std::filesystem::path corpus = folder.path() / "modtest-corpus" / row.probe;
  if (!row.coverage) {
    EXPECT_EQ(report.find("\n  edges: "), std::string::npos) << report;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "modtest-corpus"));
    return;
  }
  EXPECT_GT(number_field(report, "edges"), 0) << report;
  long long kept = number_field(report, "corpus");
  std::size_t files = files_in(corpus);
  EXPECT_GT(files, 0u) << report;
  // A request no cases file can hold is left out.
  EXPECT_LE(files, static_cast<std::size_t>(kept)) << report;
  RunFolder::Result again = folder.run_with("--validate --seed 6 --fuzz-seconds 0.5");
  EXPECT_GE(number_field(again.out, "corpus"), static_cast<long long>(files)) << again.out;
  EXPECT_GE(files_in(corpus), files);
}

class ValidateTest : public testing::TestWithParam<ValidateRow> {};

TEST_P(ValidateTest, FindsWhatTheModuleDoes) {
  const ValidateRow& row = GetParam();
  if (RunFolder::under_memory_checker()) GTEST_SKIP() << "the hosts run unchecked";
  if (std::string(row.probe) == "fail_fast_request" && !RunFolder::under_wine()) {
    GTEST_SKIP() << "a Windows fault";
  }
  std::string probe = row.probe;
  if (probe.size() > 6 && probe.compare(probe.size() - 6, 6, "_clang") == 0 &&
      RunFolder::under_wine()) {
    GTEST_SKIP() << "built natively only";
  }
#ifdef __SANITIZE_ADDRESS__
  // They also find the reads beyond the request first.
  if (*row.replayed != '\0' || std::string(row.finding) == "release" ||
      std::string(row.finding) == "request-bounds") {
    GTEST_SKIP() << "the sanitizers report the fault themselves";
  }
#endif
  RunFolder folder;
  folder.add_probe(row.probe, row.probe);
  folder.write("saori.ini",
               std::string(row.probe) + ":" + row.probe + RunFolder::module_suffix() + "\n");
  std::string seed = *row.seed != '\0' ? row.seed : "hello";
  folder.write("test.ini", "string:" + seed + "\nsaori:" + row.probe + "\n");
  RunFolder::Result run = folder.run_with(
      std::string("--validate --seed 5 --fuzz-seconds ") + row.fuzz_seconds + " " + row.options,
      row.environment);

  std::set<std::string> found;
  std::vector<std::string> reproducers;
  std::string messages;
  read_report(run.out, found, reproducers, messages);
  EXPECT_EQ(run.out.rfind("TAP version 13\n1..9\n", 0), 0u) << run.out;
  // Standard error stays short: the binding lines once, each kind of
  // warning once.
  std::istringstream error_lines(run.err);
  std::set<std::string> said;
  std::size_t binding_lines = 0;
  for (std::string line; std::getline(error_lines, line);) {
    binding_lines += is_binding_line(line);
    if (line.rfind("modtest: ", 0) == 0) {
      EXPECT_TRUE(said.insert(line).second) << run.err;
    }
  }
  EXPECT_LE(binding_lines, 3u) << run.err;
  expect_corpus_kept(folder, row, run.out);
  if (*row.finding == '\0') {
    EXPECT_EQ(run.exit_code, 0) << run.out;
    EXPECT_TRUE(found.empty()) << run.out;
    EXPECT_EQ(binding_lines, 3u) << run.err;
    EXPECT_TRUE(said.empty()) << run.err;
    // Every other check had something to say of it.
    EXPECT_NE(run.out.find(*row.skipped != '\0' ? ", 1 skipped\n" : ", 0 skipped\n"),
              std::string::npos)
        << run.out;
    if (*row.skipped == '\0') return;
    std::string skip = std::string(": ") + row.skipped + " # SKIP only ";
    EXPECT_NE(run.out.find(skip), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(row.message), std::string::npos) << run.out;
    return;
  }
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  EXPECT_EQ(found.count(row.finding), 1u) << run.out;
  std::string allowed = std::string(" ") + row.finding + " " + row.also + " ";
  for (const std::string& check : found) {
    EXPECT_NE(allowed.find(" " + check + " "), std::string::npos)
        << check << " found something too:\n"
        << run.out;
  }
  EXPECT_NE(messages.find(row.message), std::string::npos) << run.out;
  if (*row.replayed == '\0') return;
  // Each distinct fault has a reproducer of its own, which replays it.
  std::set<std::string> distinct(reproducers.begin(), reproducers.end());
  ASSERT_GE(distinct.size(), row.faults) << run.out;
  bool first_met = false;
  for (const std::string& command : distinct) {
    // The command as the report gives it: the environment, the tool as this
    // run named it, and the file.
    std::size_t check = command.find(" --check ");
    // Replayed with the guarded heap the run had.
    // Replayed with the guarded heap the run had.
    const std::string guarded = " --guard";
    ASSERT_GT(command.size(), check + guarded.size());
    EXPECT_EQ(command.substr(command.size() - guarded.size()), guarded) << command;
    std::string file = command.substr(check + std::string(" --check ").size());
    file.resize(file.size() - guarded.size());
    std::size_t tool = command.rfind(' ', check - 1);
    tool = tool == std::string::npos ? 0 : tool + 1;
    std::string environment = command.substr(0, tool);
    std::string tool_name = command.substr(tool, check - tool);
    std::string own = folder.tool().filename().string();
    if (RunFolder::under_wine()) {
      EXPECT_EQ(tool_name.substr(tool_name.find_last_of("/\\") + 1), own) << command;
    } else {
      EXPECT_EQ(tool_name, "./" + own) << command;
    }
    EXPECT_TRUE(std::filesystem::exists(folder.path() / file)) << file;
    std::string kept = read_file(folder.path() / file);
    first_met = first_met || (kept.find("\n# The request as first met") != std::string::npos &&
                              kept.find("\n# request: ") != std::string::npos);
    RunFolder::Result replay = folder.run_with("--check " + file + " --guard", environment);
    EXPECT_NE(replay.exit_code, 0) << file;
    EXPECT_NE(replay.err.find(row.replayed), std::string::npos) << replay.err;
    // A memory error is named in the replay's report too.
    if (is_memory_error(row.message)) {
      EXPECT_NE(replay.out.find("  memory_error: \"" + std::string(row.message).substr(0, 20)),
                std::string::npos)
          << replay.out;
    }
    // The request first met is a comment: only the shrunk one is replayed.
    EXPECT_NE(replay.out.find("1..1\n"), std::string::npos) << replay.out;
  }
  if (row.first_met) {
    EXPECT_TRUE(first_met) << run.out;
  }
}

INSTANTIATE_TEST_SUITE_P(Probes, ValidateTest, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<ValidateRow>& info) {
                           return std::string(info.param.name);
                         });

// The command line's own mistakes, the JUnit files of both modes, and a second finding
// that must not overwrite the first one's file.
TEST(ValidateRun, NamesWhatIsWrongAndKeepsEveryFile) {
  if (RunFolder::under_memory_checker()) GTEST_SKIP() << "the hosts run unchecked";
  RunFolder folder;
  folder.add_probe("echo", "echo");
  folder.add_probe("reply_static", "fixed");
  folder.add_probe("crash_on_empty", "crash");
  std::string suffix = RunFolder::module_suffix();
  folder.write("saori.ini", "echo:echo" + suffix + "\nfixed:fixed" + suffix + "\n");

  RunFolder::Result unknown = folder.run_with("--validate --module nobody");
  EXPECT_EQ(unknown.exit_code, 2);
  EXPECT_EQ(unknown.err.rfind("modtest: saori.ini lists no module named \"nobody\"\n", 0), 0u)
      << unknown.err;
  EXPECT_EQ(unknown.out, "");

  RunFolder::Result both = folder.run_with("--validate=yes");
  EXPECT_EQ(both.exit_code, 2);

  // Quiet: the report alone, and a contract warning only in it.
  RunFolder::Result quiet = folder.run_with("--validate --quiet --fuzz-seconds 0.2");
  EXPECT_EQ(quiet.exit_code, 1);
  EXPECT_EQ(quiet.err, "");
  EXPECT_NE(quiet.out.find("not ok 15 - fixed: reply-blocks\n"), std::string::npos) << quiet.out;

  // A wrong seeds file is named in full, as --check names it, and checks nothing.
  folder.write("bad.txt", "module: echo\nrequest: a\ncolour: red\n\nreply: b\n");
  RunFolder::Result bad = folder.run_with("--validate --cases bad.txt");
  EXPECT_EQ(bad.exit_code, 2);
  EXPECT_EQ(bad.err,
            "modtest: bad.txt:3: unknown key \"colour\"; a case takes module, request, reply, "
            "repeat and name\nmodtest: bad.txt:5: the case has no request: line\n");
  EXPECT_EQ(bad.out, "");

  // A report CI cannot read makes the run fail, even one that found nothing.
  RunFolder::Result lost =
      folder.run_with("--validate --module echo --fuzz-seconds=0.2 --junit missing/report.xml");
  EXPECT_EQ(lost.exit_code, 2);
  EXPECT_NE(lost.err.find("\nmodtest: cannot write the JUnit report missing/report.xml: " +
                          std::string(std::strerror(ENOENT)) + "\n"),
            std::string::npos)
      << lost.err;

  RunFolder::Result run = folder.run_with("--validate --fuzz-seconds=0.5 --junit report.xml");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.out.find("1..18\n"), std::string::npos);
  EXPECT_NE(run.out.find("not ok 15 - fixed: reply-blocks\n"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("# 18 checks, 1 finding, 0 skipped\n"), std::string::npos) << run.out;
  std::string xml = read_file(folder.path() / "report.xml");
  EXPECT_NE(xml.find("<testsuite name=\"echo\" tests=\"9\" failures=\"0\""), std::string::npos)
      << xml;
  EXPECT_NE(xml.find("<testsuite name=\"fixed\" tests=\"9\" failures=\"1\""), std::string::npos)
      << xml;

  // The check mode writes the same file.
  folder.write("cases.txt",
               "module: echo\nrequest: a\nreply: a\n\nmodule: echo\nrequest: a\nreply: b\n");
  EXPECT_EQ(folder.run_with("--check cases.txt --junit=cases.xml").exit_code, 1);
  EXPECT_NE(read_file(folder.path() / "cases.xml")
                .find("<testsuite name=\"echo\" tests=\"2\" failures=\"1\""),
            std::string::npos);

#ifndef __SANITIZE_ADDRESS__
  folder.write("saori.ini", "crash:crash" + suffix + "\n");
  // In one process the fault ends the run, and the report says so.
  RunFolder::Result in_process = folder.run_with("--validate --in-process --fuzz-seconds 0.2");
  EXPECT_EQ(in_process.exit_code, 3);
  EXPECT_NE(in_process.out.find("\nBail out! module crash ("), std::string::npos) << in_process.out;
  // A finding an earlier run kept is named, however its file writes the
  // request; the same request with another fault is another finding.
  const std::string first = "modtest-findings/crash-requests-1.txt";
  const struct {
    const char* from;  // text of the first run's file, changed to `to`; "" for none
    const char* to;
    const char* written;  // the file this run writes; "" for none
  } again[] = {
      {"", "", "modtest-findings/crash-requests-1.txt"},
      {"", "", ""},
      {"request: \"\"", "request:", ""},
      {" crashed", " ended the process", "modtest-findings/crash-requests-2.txt"},
  };
  const std::filesystem::path findings = folder.path() / "modtest-findings";
  for (const auto& step : again) {
    if (*step.from != '\0') {
      std::string kept = read_file(folder.path() / first);
      std::size_t at = kept.find(step.from);
      ASSERT_NE(at, std::string::npos) << kept;
      folder.write(first, kept.replace(at, std::strlen(step.from), step.to));
    }
    std::size_t files_before = 0;
    if (std::filesystem::exists(findings)) {
      for (const auto& entry : std::filesystem::directory_iterator(findings)) {
        files_before += entry.is_regular_file();
      }
    }
    RunFolder::Result again_run = folder.run_with("--validate --fuzz-seconds 0.2");
    EXPECT_EQ(again_run.exit_code, 1);
    std::size_t files_after = 0;
    for (const auto& entry : std::filesystem::directory_iterator(findings)) {
      files_after += entry.is_regular_file();
    }
    if (*step.written != '\0') {
      EXPECT_EQ(files_after, files_before + 1) << step.to;
      EXPECT_NE(read_file(folder.path() / step.written).find("\nrequest: \"\"\n"),
                std::string::npos)
          << step.written;
    } else {
      EXPECT_EQ(files_after, files_before) << step.to;
      EXPECT_NE(again_run.out.find("same_as_file: \"" + first + "\"\n"), std::string::npos)
          << again_run.out;
      EXPECT_NE(again_run.out.find(" --check " + first + " --guard\"\n"), std::string::npos)
          << again_run.out;
    }
  }
  // A findings folder that cannot be made: the reason, in the report and
  // once on standard error.
  std::filesystem::remove_all(findings);
  folder.write("modtest-findings", "a file in the folder's place\n");
  RunFolder::Result no_folder = folder.run_with("--validate --fuzz-seconds 0.2");
  const std::string why =
      "the folder modtest-findings could not be made: " + std::string(std::strerror(EEXIST));
  EXPECT_NE(no_folder.out.find("reproduce: \"none: " + why + "\"\n"), std::string::npos)
      << no_folder.out;
  std::size_t said = no_folder.err.find("modtest: " + why + "\n");
  EXPECT_NE(said, std::string::npos) << no_folder.err;
  EXPECT_EQ(no_folder.err.find("modtest: " + why, said + 1), std::string::npos) << no_folder.err;
#endif
}

}  // namespace
