// modtest --interactive on a real terminal: the tool runs on a
// pseudo-terminal, keys are typed into it one group at a time, each after
// what the one before drew, and the whole screen is compared byte for byte.
// Natively only: the line editor is ours on POSIX alone.

#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "expected_output.h"
#include "run_folder.h"

namespace {

// The terminal's output processing turns each line feed into CR LF.
std::string as_shown(const std::string& text) {
  std::string shown;
  for (char byte : text) shown += byte == '\n' ? std::string("\r\n") : std::string(1, byte);
  return shown;
}

class Terminal {
 public:
  explicit Terminal(const RunFolder& folder, std::vector<std::string> options = {"--interactive"}) {
    std::string tool = folder.tool().string();
    std::string home = "HOME=" + folder.path().string();
    std::vector<char*> argv = {tool.data()};
    for (std::string& option : options) argv.push_back(option.data());
    argv.push_back(nullptr);
    std::vector<char*> envp = {home.data(), const_cast<char*>("TERM=vt100"), nullptr};
    std::string directory = folder.path().string();
    child_ = forkpty(&master_, nullptr, nullptr, nullptr);
    if (child_ == 0) {
      if (chdir(directory.c_str()) == 0) execve(argv[0], argv.data(), envp.data());
      _exit(127);
    }
  }
  ~Terminal() {
    if (master_ >= 0) close(master_);
    if (child_ > 0 && !waited_) waitpid(child_, nullptr, 0);
  }

  bool started() const { return child_ > 0; }
  void type(const std::string& keys) {
    ASSERT_EQ(write(master_, keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
  }
  // Reads until the screen so far ends with `text`, or the tool's side closed.
  // A wait of a minute without a byte means the tool hangs.
  const std::string& read_until(const std::string& text) {
    while (screen_.size() < text.size() ||
           screen_.compare(screen_.size() - text.size(), text.size(), text) != 0) {
      pollfd ready{master_, POLLIN, 0};
      if (poll(&ready, 1, 60000) <= 0) break;
      char chunk[4096];
      ssize_t got = read(master_, chunk, sizeof chunk);
      if (got <= 0) break;  // EIO once the tool and its host have closed the terminal
      screen_.append(chunk, static_cast<std::size_t>(got));
    }
    return screen_;
  }
  int exit_code() {
    int status = 0;
    waitpid(child_, &status, 0);
    waited_ = true;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  int master_ = -1;
  pid_t child_ = -1;
  bool waited_ = false;
  std::string screen_;
};

TEST(InteractiveTerminal, PromptReplyAndTheUpArrow) {
  if (RunFolder::under_wine() || RunFolder::under_memory_checker()) {
    GTEST_SKIP() << "the terminal is checked natively";
  }
  RunFolder folder;
  folder.add_probe("echo", "echo");
  folder.write("saori.ini", expand("echo:echo{X}\n", folder));
  Terminal terminal(folder);
  ASSERT_TRUE(terminal.started());

  std::string expected = as_shown(expand(bound("echo", "echo"), folder)) + "echo> ";
  EXPECT_EQ(terminal.read_until(expected), expected);
  terminal.type("hi\r");
  expected += "hi\r\nhi\r\necho> ";
  EXPECT_EQ(terminal.read_until(expected), expected);
  terminal.type("\x1b[A");
  expected += "\recho> hi\x1b[K";
  EXPECT_EQ(terminal.read_until(expected), expected);
  terminal.type("\r");
  expected += "\r\nhi\r\necho> ";
  EXPECT_EQ(terminal.read_until(expected), expected);
  terminal.type("\x04");
  expected += "\r\n";
  EXPECT_EQ(terminal.read_until(expected + "(the end)"), expected);
  EXPECT_EQ(terminal.exit_code(), 0);
  // The line sent twice is kept once for the next session.
  EXPECT_EQ(read_file(folder.path() / ".modtest_history"), "hi\n");
}

// A validation on a terminal shows how its long checks go, the fuzzer and
// the leak check, on one line of standard error, written over itself and
// blanked before the check's result; in a file (every other validation
// test) there is none.
TEST(ValidateTerminal, LongChecksProgressOnOneLine) {
  if (RunFolder::under_wine() || RunFolder::under_memory_checker()) {
    GTEST_SKIP() << "the terminal is checked natively";
  }
  RunFolder folder;
  folder.add_probe("echo", "echo");
  folder.add_probe("slow_request", "slow");
  folder.write("saori.ini", expand("echo:echo{X}\nslow:slow{X}\n", folder));
  Terminal terminal(folder, {"--validate", "--fuzz-seconds", "1"});
  ASSERT_TRUE(terminal.started());
  const std::string& screen = terminal.read_until("skipped\r\n");
  for (const char* check : {"echo: fuzz", "slow: leak"}) {
    std::size_t status = screen.find("\rmodtest: " + std::string(check) + ", ");
    ASSERT_NE(status, std::string::npos) << check << "\n" << screen;
    std::size_t blanked = screen.find("                    \r", status);
    EXPECT_NE(blanked, std::string::npos) << screen;
    EXPECT_LT(blanked, screen.find(" - " + std::string(check), status)) << screen;
  }
  EXPECT_EQ(terminal.exit_code(), 0);
}

}  // namespace
