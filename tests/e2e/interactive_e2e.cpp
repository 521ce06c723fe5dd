// modtest --interactive driven through a pipe, as a script drives it: one
// session of steps, each a line sent and what it adds to standard output
// and standard error, compared byte for byte once the input has ended. A
// step that swaps a library on disk first waits for the output of the steps
// before it. Placeholders as in the other suites; {WHY} is the system's
// words for a crash, taken from the tool's own line.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "expected_output.h"
#include "run_folder.h"

namespace {

struct Step {
  const char* line;  // sent with a line feed
  std::string out;
  std::string err;
  bool crashes = false;           // left out where a sanitizer or memcheck owns a crash
  const char* swap_in = nullptr;  // before the line: this probe takes the counter's file
};

const std::string kBinding = bound("count", "counter") + bound("echo", "echo") +
                             "dll loading.\n[crash_request load {L}:{D}]\nname:crash\n"
                             "path:{D}crash{X}\n";
const std::string kUnbinding = "[crash_request unload]\n";
const std::string kNoHost = "modtest: no module is bound; :reload binds them\n";

const std::vector<Step> kSession = {
    {"a", "1\n", ""},  // test.ini names count
    {"b", "2\n", ""},
    {":module echo", "", ""},
    {"one\\ntwo", "one\ntwo\n", ""},
    {"\"  :x  \"", "  :x  \n", ""},
    {"", "", ""},
    {":module nobody", "", "modtest: saori.ini lists no module named nobody\n"},
    {":bogus", "", "modtest: unknown command :bogus; :help lists the commands\n"},
    {":modules", "count: bound\necho: bound, current\ncrash: bound\n", ""},
    {":module count", "", ""},
    {"c", "3\n", ""},
    {":repeat 2", "5\nrepeat: 2, mean_us: #, slowest_us: #, memory_growth_kib: #\n", ""},
    {":save saved.cases", "", ""},
    {":module crash", "", "", true},
    {"boom", "",
     "[crash_request request 4]\n[crash_request about to fail]\n"
     "modtest: module crash ({D}crash{X}) crashed in request: {WHY}\n"
     "modtest: the module host crashed in a module call (exit code 3) during the request; the "
     "modules are bound again in a new host, and their state is lost\n" +
         kBinding,
     true},
    {":module count", "", "", true},
    {"d", "1\n", "", true},
    // A library rebuilt while it is loaded, taken up by :reload.
    {":reload", "", kUnbinding + kBinding, false, "echo"},
    {"e", "e\n", ""},
    // What Windows needs: the library released before it is replaced.
    {":unload", "", kUnbinding},
    {"x", "", kNoHost},
    {":reload", "", kBinding, false, "counter"},
    {"f", "1\n", ""},
    {":quit", "", kUnbinding},
    {"never sent", "", ""},
};

const std::string kSaved =
    "module: \"count\"\nrequest: \"a\"\nreply: \"1\"\n\n"
    "module: \"count\"\nrequest: \"b\"\nreply: \"2\"\n\n"
    "module: \"echo\"\nrequest: \"one\\\\ntwo\"\nreply: \"one\\\\ntwo\"\n\n"
    "module: \"echo\"\nrequest: \"  :x  \"\nreply: \"  :x  \"\n\n"
    "module: \"count\"\nrequest: \"c\"\nreply: \"3\"\n\n"
    "module: \"count\"\nrequest: \"c\"\nrepeat: 2\n";

bool crashes_left_out() {
#ifdef __SANITIZE_ADDRESS__
  return true;
#else
  return RunFolder::under_memory_checker();
#endif
}

// The figures of a :repeat line are timings: each becomes '#'.
std::string without_figures(const std::string& out) {
  std::string masked;
  std::size_t at = 0;
  for (std::size_t line = out.find("repeat: "); line != std::string::npos;
       line = out.find("repeat: ", at)) {
    std::size_t end = out.find('\n', line);
    if (end == std::string::npos) end = out.size();
    masked.append(out, at, line - at);
    for (const char* key : {"repeat: ", ", mean_us: ", ", slowest_us: ", ", memory_growth_kib: "}) {
      std::size_t figure = out.find(key, line);
      if (figure == std::string::npos || figure > end) break;
      figure += std::string(key).size();
      std::size_t stop = out.find_first_not_of("-0123456789.", figure);
      masked += key;
      masked += key == std::string("repeat: ") ? out.substr(figure, stop - figure) : "#";
    }
    at = end;
  }
  masked.append(out, at, std::string::npos);
  return masked;
}

// The crash's own line: the host's line after it names a crash too.
std::string with_words(std::string text, const RunFolder& folder, const std::string& err) {
  text = expand(text, folder);
  std::size_t at = text.find("{WHY}");
  if (at == std::string::npos) return text;
  std::size_t line_end = err.find('\n', err.find(" crashed in request: "));
  text.replace(at, 5, crash_words(err.substr(0, line_end + 1)));
  return text;
}

// Waits until the steps sent so far have printed all they print: each line
// is answered in turn, so nothing more comes before the next line.
void wait_for(const RunFolder& folder, const std::string& out, const std::string& err) {
  auto give_up = std::chrono::steady_clock::now() + std::chrono::minutes(2);
  RunFolder::Result so_far = folder.output_so_far();
  while (without_figures(so_far.out) != out || so_far.err != with_words(err, folder, so_far.err)) {
    ASSERT_LT(std::chrono::steady_clock::now(), give_up) << "output so far:\n"
                                                         << so_far.out << "\nerrors so far:\n"
                                                         << so_far.err;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    so_far = folder.output_so_far();
  }
}

TEST(Interactive, PipedSession) {
  std::signal(SIGPIPE, SIG_IGN);
  RunFolder folder;
  folder.add_probe("counter", "counter");
  folder.add_probe("echo", "echo");
  folder.add_probe("crash_request", "crash");
  folder.write("saori.ini", expand("count:counter{X}\necho:echo{X}\ncrash:crash{X}\n", folder));
  folder.write("test.ini", "saori:count\n");
  std::string out;
  std::string err = kBinding;
  bool crashed = false;
  std::FILE* input = folder.start_with_input("--interactive");
  for (const Step& step : kSession) {
    if (step.crashes && crashes_left_out()) continue;
    if (step.swap_in != nullptr) {
      std::fflush(input);
      wait_for(folder, out, err);
      if (testing::Test::HasFatalFailure()) break;
      std::filesystem::remove(folder.path() / ("counter" + RunFolder::module_suffix()));
      folder.add_probe(step.swap_in, "counter");
    }
    std::fputs((std::string(step.line) + "\n").c_str(), input);
    out += step.out;
    err += step.err;
    crashed = crashed || step.crashes;
  }
  RunFolder::Result result = folder.finish(input);
  EXPECT_EQ(without_figures(result.out), out);
  EXPECT_EQ(result.err, with_words(err, folder, result.err));
  EXPECT_EQ(result.exit_code, crashed ? 3 : 0);

  // The saved exchanges replay in check mode, the counter's state with them.
  EXPECT_EQ(read_file(folder.path() / "saved.cases"), kSaved);
  RunFolder::Result check = folder.run_with("--check saved.cases");
  EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
  EXPECT_NE(check.out.find("\n1..6\n# 6 passed, 0 failed\n"), std::string::npos) << check.out;
}

// With --guard a memory error faults where it happens, and the session
// says what it was and where.
TEST(Interactive, GuardedHeap) {
  if (crashes_left_out()) GTEST_SKIP() << "the crash is the sanitizer's or memcheck's to report";
  std::signal(SIGPIPE, SIG_IGN);
  RunFolder folder;
  folder.add_probe("heap_use_after_free", "freed");
  folder.write("saori.ini", expand("freed:freed{X}\n", folder));
  std::FILE* input = folder.start_with_input("--interactive --guard");
  std::fputs("hello\n", input);
  RunFolder::Result result = folder.finish(input);
  EXPECT_EQ(result.exit_code, 3);
  EXPECT_NE(result.err.find("\nmodtest: the module read a block it had freed: its own 64-byte "
                            "block (allocated at freed"),
            std::string::npos)
      << result.err;
}

}  // namespace
