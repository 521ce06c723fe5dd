// Modules that go wrong: a crash in each entry, abort, a stack overflow,
// exit inside a call, a call that never returns, and modules that break the
// interface's contract. Standard output must hold every byte printed before
// the fault; standard error says what happened, to which module, in which
// entry; the exit code says how the run ended.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "expected_output.h"
#include "run_folder.h"

namespace {

struct FaultCase {
  const char* name;
  const char* probe;        // listed as module x, asked for "hello"
  const char* environment;  // in front of the command line
  std::string out;          // after the settings report
  std::string err;          // {P} the probe's path, {FAULT} a null write as the platform says it
  int exit_code;
  // The run ends inside the module: the memory checker would report the
  // module's own invalid access, and what the cut-off run still held.
  bool ends_midway;
};

const std::string kTrace = "dll loading.\n[{N} load {L}:{D}]\nname:x\npath:{P}\n";
const std::string kAsked = "// request_data//\nhello\n";

const FaultCase kCases[] = {
    {"CrashWhileTheLibraryLoads", "crash_init", "", "[crash_init about to fail]\n",
     "modtest: module x ({P}) crashed in library initialisation: {FAULT}\n", 3, true},
    {"CrashInLoad", "crash_load", "",
     "dll loading.\n[crash_load load {L}:{D}]\n[{N} about to fail]\n",
     "modtest: module x ({P}) crashed in load: {FAULT}\n", 3, true},
    {"CrashInRequest", "crash_request", "",
     kTrace + kAsked + "[{N} request 5]\n[{N} about to fail]\n",
     "modtest: module x ({P}) crashed in request: {FAULT}\n", 3, true},
    {"CrashInUnload", "crash_unload", "",
     kTrace + kAsked +
         "[{N} request 5]\n// return data //\nhello\n[{N} unload]\n[{N} about to fail]\n",
     "modtest: module x ({P}) crashed in unload: {FAULT}\n", 3, true},
    {"AbortInRequest", "abort_request", "",
     bound("x", "abort_request") + kAsked + "[{N} about to fail]\n",
     "modtest: module x ({P}) crashed in request: aborted\n", 3, true},
    {"StackOverflowInRequest", "overflow_request", "",
     bound("x", "overflow_request") + kAsked + "[{N} about to fail]\n",
     "modtest: module x ({P}) crashed in request: stack overflow\n", 3, true},
    {"ExitInRequest", "exit_request", "",
     bound("x", "exit_request") + kAsked + "[{N} about to fail]\n",
     "modtest: module x ({P}) ended the process in request{EXIT7}\n", 5, true},
    {"ExitInLoad", "exit_load", "", "dll loading.\n[{N} about to fail]\n",
     "modtest: module x ({P}) ended the process in load{EXIT7}\n", 5, true},
    {"RequestNeverReturns", "hang_request", "MODTEST_TIMEOUT=1",
     bound("x", "hang_request") + kAsked + "[{N} about to fail]\n",
     "modtest: module x ({P}) has not returned from request after 1 s\n", 4, true},
    {"FractionOfASecond", "hang_request", "MODTEST_TIMEOUT=0.25",
     bound("x", "hang_request") + kAsked + "[{N} about to fail]\n",
     "modtest: module x ({P}) has not returned from request after 0.25 s\n", 4, true},

    // The contract broken without a fault: standard output is what it always
    // was, standard error says what the module did.
    {"HealthyModuleSaysNothing", "echo", "MODTEST_TIMEOUT=30",
     bound("x", "echo") + exchange("hello", "hello"), "", 0, false},
    {"TimeoutThatIsNoNumber", "echo", "MODTEST_TIMEOUT=soon",
     bound("x", "echo") + exchange("hello", "hello"),
     "modtest: MODTEST_TIMEOUT is \"soon\", not a positive number of seconds; no timeout is set\n",
     0, false},
    {"LoadRefuses", "load_0", "",
     "dll loading.\n[{N} load {L}:{D}]\n{P}{F}\nname:x\npath:{P}\n" + kAsked +
         "[{N} request 10]\n// return data //\nstill here\n",
     "modtest: module x ({P}) returned 0 from load, not 1, so it is not bound\n", 0, false},
    {"NoExportsAtAll", "no_exports", "",
     "load is not export!\n{P}{F}\nname:x\npath:{P}\n" + kAsked +
         "request is not export!\n// return data //\nhello\n",
     "modtest: module x ({P}) does not export unload; its library is released without it\n"
     "modtest: module x ({P}) does not export request; a request to it comes back unanswered\n"
     "modtest: module x ({P}) does not export load; it cannot be bound\n",
     0, false},
    {"NoReplyBlock", "reply_null", "", bound("x", "reply_null") + exchange("hello", ""),
     "modtest: module x ({P}) returned no reply block from request; the reply is empty\n", 0,
     false},
    {"NegativeLength", "length_negative", "", bound("x", "length_negative") + exchange("hello", ""),
     "modtest: module x ({P}) set a negative reply length (-5) in request; the reply is empty\n", 0,
     false},
    {"EchoEndedByNulSaysNothing", "echo_terminated", "",
     bound("x", "echo_terminated") + exchange("hello", "hello"), "", 0, false},
    {"ReplyInStaticDataIsNotFreed", "reply_static", "",
     bound("x", "reply_static") + exchange("hello", "static"),
     "modtest: module x ({P}) returned a reply that is no block of its own (it points into the "
     "module's static data); modtest did not free it\n",
     0, false},
    {"ReplyOnTheStackIsNotFreed", "reply_stack", "",
     bound("x", "reply_stack") + exchange("hello", "\x01"),
     "modtest: module x ({P}) returned a reply that is no block of its own (it points into the "
     "stack); modtest did not free it\n",
     0, false},
    {"LengthBeyondTheBlock", "length_huge", "",
     bound("x", "length_huge") + exchange("hello", "abcdefghijklmnopqrstuvwx"),
     "modtest: module x ({P}) set a reply length of 2147483647 bytes in request, beyond its reply "
     "block of 24 bytes; the reply is cut to 24 bytes\n",
     0, false},
};

void PrintTo(const FaultCase& fault_case, std::ostream* out) {
  *out << fault_case.name;
}

// Fills in what only the run's folder and platform decide.
std::string fill_in(std::string text, const FaultCase& fault_case, const RunFolder& folder) {
  const bool windows = RunFolder::under_wine();
  const std::pair<const char*, std::string> marks[] = {
      {"{P}", "{D}" + std::string(fault_case.probe) + "{X}"},
      {"{N}", fault_case.probe},
      {"{FAULT}",
       windows ? "access violation writing address 0x0" : "segmentation fault (address 0x0)"},
      {"{L}", std::to_string(folder.tool_directory().size())},
      // Windows gives no way to learn the code while the process still runs.
      {"{EXIT7}", windows ? "" : " with exit code 7"},
  };
  for (const auto& [mark, value] : marks) {
    const std::size_t length = std::string_view(mark).size();
    for (std::size_t at; (at = text.find(mark)) != std::string::npos;) {
      text.replace(at, length, value);
    }
  }
  return expand(text, folder);
}

class ModuleFault : public testing::TestWithParam<FaultCase> {};

TEST_P(ModuleFault, KeepsOutputAndSaysWhatHappened) {
  const FaultCase& fault_case = GetParam();
  if (fault_case.ends_midway && RunFolder::under_memory_checker()) {
    GTEST_SKIP() << "the run ends inside the module; the memory checker reports that itself";
  }
  RunFolder folder;
  folder.write("test.ini", "string:hello\nsaori:x\n");
  folder.write("saori.ini", expand(std::string("x:") + fault_case.probe + "{X}\n", folder));
  folder.add_probe(fault_case.probe, fault_case.probe);

  RunFolder::Result result = folder.run_with("", fault_case.environment);
  EXPECT_EQ(result.out,
            "saori:\tx\nstring:\thello\n\n" + fill_in(fault_case.out, fault_case, folder));
  EXPECT_EQ(result.err, fill_in(fault_case.err, fault_case, folder));
  EXPECT_EQ(result.exit_code, fault_case.exit_code);
}

INSTANTIATE_TEST_SUITE_P(Modules, ModuleFault, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<FaultCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
