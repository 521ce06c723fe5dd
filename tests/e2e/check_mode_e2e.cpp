// The check mode run whole: a cases file, the modules of saori.ini and the
// options, with the exact report on standard output, the exact lines on
// standard error and the exit code. Placeholders as in the other suites;
// {V} is the version and {WHY} the system's words for a crash, taken from
// the tool's own line on standard error, and {ENOENT} the C library's
// words for a file that is not there. Times and memory figures, which no
// two runs share, are compared as {T}.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "expected_output.h"
#include "run_folder.h"

using namespace std::string_literals;

namespace {

// How the modules of a row end the run, if they do.
enum ModuleEnd { kAnswers, kCrashes, kEndsOtherwise };

struct CheckRun {
  const char* name;
  std::optional<std::string> cases;  // cases.txt
  std::string arguments;
  std::string environment;
  int exit_code;
  std::string out;
  std::string err;
  std::optional<std::string> cases_after = std::nullopt;  // cases.txt after the run
  ModuleEnd module_end = kAnswers;
  std::optional<std::string> junit_after = std::nullopt;  // report.xml after the run
  bool native_only = false;
};

// Every row binds the same modules, so that what a run loads shows on
// standard error.
const std::string kModuleList = "echo:echo{X}\nworld:world{X}\ncount:counter{X}\n";
const std::string kBinding =
    bound("echo", "echo") + bound("world", "world") + bound("count", "counter");
const std::string kCheck = "--check cases.txt";
const std::string kUsage =
    "usage: modtest [--check CASES [--update] [--guard] | --validate [--module NAME]...\n"
    "               [--cases CASES] [--dict FILE] [--fuzz-seconds S] [--seed N]\n"
    "               [--in-process] [--quiet] [--no-guard] | --interactive [--guard]]\n"
    "               [--junit FILE] [--help] [--version]\n";

const std::string kHelp =
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

const CheckRun kRuns[] = {
    {"PassingCases",
     "# every kind of line a case may have\n"
     "module: echo\nname: plain\nrequest: hello\nreply: hello\n\n"
     "request: one,two: three\\n\r\nreply: \"one,two: three\\\\n\"\r\n \t\n"
     "request:\nreply:\n\n"
     "name: a # b\n# a comment inside a case\nrequest: \" x \"\nreply:  \" x \"  \n",
     kCheck, "", 0,
     "TAP version 13\nok 1 - plain\nok 2 - one,two: three\\n\nok 3\nok 4 - a \\# b\n"
     "1..4\n# 4 passed, 0 failed\n",
     kBinding},
    {"FailingCasesShowEveryByte",
     "module: world\nrequest: in the middle\nreply: wxrld\n\n"
     "request: extra bytes\nreply: worl\n\n"
     "request: at the end\nreply: worlds\n\n"
     "module: echo\nrequest: \"a\tb\\\\r\\\\n\0z\x7f\xc3\xa9\x82\xa0\\\"\\\\\\\nreply: a\tb\n"s,
     kCheck, "", 1,
     "TAP version 13\n"
     "not ok 1 - in the middle\n  ---\n  line: 1\n  module: \"world\"\n"
     "  request: \"in the middle\"\n  expected: \"wxrld\"\n  actual: \"world\"\n"
     "  first_difference: 1\n  ...\n"
     "not ok 2 - extra bytes\n  ---\n  line: 5\n  module: \"world\"\n"
     "  request: \"extra bytes\"\n  expected: \"worl\"\n  actual: \"world\"\n"
     "  first_difference: 4\n  ...\n"
     "not ok 3 - at the end\n  ---\n  line: 8\n  module: \"world\"\n"
     "  request: \"at the end\"\n  expected: \"worlds\"\n  actual: \"world\"\n"
     "  first_difference: 5\n  ...\n"
     "not ok 4 - a\\tb\\r\\n\\0z\\x7f\xc3\xa9\\x82\\xa0\"\\\\\n  ---\n  line: 11\n"
     "  module: \"echo\"\n  request: \"a\\tb\\r\\n\\0z\\x7f\xc3\xa9\\x82\\xa0\\\"\\\\\"\n"
     "  expected: \"a\\tb\"\n  actual: \"a\\tb\\r\\n\\0z\\x7f\xc3\xa9\\x82\\xa0\\\"\\\\\"\n"
     "  first_difference: 3\n  ...\n"
     "1..4\n# 0 passed, 4 failed\n",
     kBinding},
    {"StateCarriesOverAndRepeatsAreTimed",
     "module: count\nrequest: a\nreply: 1\n\nrequest: b\nreply: 2\n\n"
     "name: stops at the first wrong reply\nrequest: c\nreply: 3\nrepeat: 3\n\n"
     "request: d\nreply: 5\n\n"
     "module: echo\nrequest: r\nreply: r\nrepeat: 3\n\nrequest: shown\nrepeat: 2\n",
     kCheck, "", 1,
     "TAP version 13\nok 1 - a\nok 2 - b\n"
     "not ok 3 - stops at the first wrong reply\n  ---\n  line: 8\n  module: \"count\"\n"
     "  request: \"c\"\n  expected: \"3\"\n  actual: \"4\"\n  first_difference: 0\n"
     "  repetition: 2\n  repeat: 3\n  mean_us: {T}\n  slowest_us: {T}\n"
     "  memory_growth_kib: {T}\n  ...\n"
     "ok 4 - d\n"
     "ok 5 - r\n  ---\n  repeat: 3\n  mean_us: {T}\n  slowest_us: {T}\n"
     "  memory_growth_kib: {T}\n  ...\n"
     "ok 6 - shown\n  ---\n  actual: \"shown\"\n  repeat: 2\n  mean_us: {T}\n"
     "  slowest_us: {T}\n  memory_growth_kib: {T}\n  ...\n"
     "1..6\n# 5 passed, 1 failed\n",
     kBinding},
    {"CasesTheModulesCannotAnswer",
     "module: nobody\nrequest: x\n\nmodule: echo\nrequest: still runs\nreply: still runs\n", kCheck,
     "", 1,
     "TAP version 13\nnot ok 1 - x\n  ---\n"
     "  message: \"saori.ini lists no module of this name\"\n  line: 1\n"
     "  module: \"nobody\"\n  request: \"x\"\n  ...\nok 2 - still runs\n"
     "1..2\n# 1 passed, 1 failed\n",
     kBinding},
    {"ModuleOutputGoesToStandardError", "module: talk\nrequest: hi\nreply: hi\n", kCheck, "", 0,
     "TAP version 13\nok 1 - hi\n1..1\n# 1 passed, 0 failed\n",
     kBinding + "dll loading.\n[trace_a load {L}:{D}]\nname:talk\npath:{D}talk{X}\n" +
         "[trace_a request 2]\n[trace_a unload]\n"},
    {"CrashFailsItsCaseAndTheRestAreNotRun",
     "module: echo\nrequest: one\nreply: one\n\n"
     "module: crash\nrequest: boom\nreply: boom\nrepeat: 2\n\n"
     "module: echo\nname: after # it\nrequest: two\n\nrequest: three\n",
     kCheck, "", 1,
     "TAP version 13\nok 1 - one\nnot ok 2 - boom\n  ---\n"
     "  message: \"module crash ({DY}crash{X}) crashed in request: {WHY}\"\n  line: 5\n"
     "  module: \"crash\"\n  request: \"boom\"\n  expected: \"boom\"\n  repetition: 1\n  ...\n"
     "not ok 3 - after \\# it # SKIP not run: module crash crashed in case 2\n"
     "not ok 4 - three # SKIP not run: module crash crashed in case 2\n"
     "1..4\n# 1 passed, 1 failed, 2 not run\n",
     kBinding + "dll loading.\n[crash_request load {L}:{D}]\nname:crash\npath:{D}crash{X}\n"
                "[crash_request request 4]\n[crash_request about to fail]\n"
                "modtest: module crash ({D}crash{X}) crashed in request: {WHY}\n",
     std::nullopt, kCrashes},
    {"CrashWhileBindingBailsOut", "module: echo\nrequest: one\n\nmodule: loadcrash\nrequest: two\n",
     kCheck, "", 1,
     "TAP version 13\nBail out! module loadcrash ({D}loadcrash{X}) crashed in load: {WHY}\n",
     kBinding + "dll loading.\n[crash_load load {L}:{D}]\n[crash_load about to fail]\n"
                "modtest: module loadcrash ({D}loadcrash{X}) crashed in load: {WHY}\n",
     std::nullopt, kCrashes},
    {"HangFailsItsCase",
     "module: echo\nrequest: one\nreply: one\n\nmodule: hang\nrequest: wait\n\n"
     "module: echo\nrequest: two\n",
     kCheck, "MODTEST_TIMEOUT=1", 1,
     "TAP version 13\nok 1 - one\nnot ok 2 - wait\n  ---\n"
     "  message: \"module hang ({DY}hang{X}) has not returned from request after 1 s\"\n"
     "  line: 5\n  module: \"hang\"\n  request: \"wait\"\n  ...\n"
     "not ok 3 - two # SKIP not run: module hang did not return in case 2\n"
     "1..3\n# 1 passed, 1 failed, 1 not run\n",
     kBinding + bound("hang", "hang") + "[hang_request about to fail]\n" +
         "modtest: module hang ({D}hang{X}) has not returned from request after 1 s\n",
     std::nullopt, kEndsOtherwise},
    {"ExitFailsItsCase", "module: exit\nrequest: bye\n\nrequest: never\n", kCheck, "", 1,
     "TAP version 13\nnot ok 1 - bye\n  ---\n"
     "  message: \"module exit ({DY}exit{X}) ended the process in request{EXIT7}\"\n"
     "  line: 1\n  module: \"exit\"\n  request: \"bye\"\n  ...\n"
     "not ok 2 - never # SKIP not run: module exit ended the process in case 1\n"
     "1..2\n# 0 passed, 1 failed, 1 not run\n",
     kBinding + bound("exit", "exit") + "[exit_request about to fail]\n" +
         "modtest: module exit ({D}exit{X}) ended the process in request{EXIT7}\n",
     std::nullopt, kEndsOtherwise},
    {"CutRunStillWritesJUnit",
     "module: echo\nrequest: one\nreply: one\n\nmodule: crash\nrequest: boom\n\n"
     "module: echo\nrequest: two\n",
     "--check cases.txt --junit report.xml", "", 1,
     "TAP version 13\nok 1 - one\nnot ok 2 - boom\n  ---\n"
     "  message: \"module crash ({DY}crash{X}) crashed in request: {WHY}\"\n  line: 5\n"
     "  module: \"crash\"\n  request: \"boom\"\n  ...\n"
     "not ok 3 - two # SKIP not run: module crash crashed in case 2\n"
     "1..3\n# 1 passed, 1 failed, 1 not run\n",
     kBinding + "dll loading.\n[crash_request load {L}:{D}]\nname:crash\npath:{D}crash{X}\n"
                "[crash_request request 4]\n[crash_request about to fail]\n"
                "modtest: module crash ({D}crash{X}) crashed in request: {WHY}\n",
     std::nullopt, kCrashes,
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<testsuites tests=\"3\" failures=\"1\" skipped=\"1\" time=\"{T}\">\n"
     "  <testsuite name=\"echo\" tests=\"2\" failures=\"0\" skipped=\"1\" time=\"{T}\">\n"
     "    <testcase classname=\"echo\" name=\"one\" time=\"{T}\"/>\n"
     "    <testcase classname=\"echo\" name=\"two\" time=\"{T}\">\n"
     "      <skipped message=\"not run: module crash crashed in case 2\"/>\n"
     "    </testcase>\n  </testsuite>\n"
     "  <testsuite name=\"crash\" tests=\"1\" failures=\"1\" skipped=\"0\" time=\"{T}\">\n"
     "    <testcase classname=\"crash\" name=\"boom\" time=\"{T}\">\n"
     "      <failure message=\"line 5: module crash ({DY}crash{X}) crashed in request: {WHY}\"/>\n"
     "    </testcase>\n  </testsuite>\n</testsuites>\n"},
    // No handler runs in a process ended so; a watcher finishes its report.
    {"WordlessEndFailsItsCase", "module: wordless\nrequest: bye\n\nrequest: never\n",
     "--check cases.txt --junit report.xml", "", 1,
     "TAP version 13\nnot ok 1 - bye\n  ---\n"
     "  message: \"module wordless ({DY}wordless{X}) ended the run in request without a report: "
     "{ENDED7}\"\n  line: 1\n  module: \"wordless\"\n  request: \"bye\"\n  ...\n"
     "not ok 2 - never # SKIP not run: module wordless {ENDED} in case 1\n"
     "1..2\n# 0 passed, 1 failed, 1 not run\n",
     kBinding + bound("wordless", "wordless") + "[wordless_end_request about to fail]\n" +
         "modtest: module wordless ({D}wordless{X}) ended the run in request without a report: "
         "{ENDED7}\n",
     std::nullopt, kEndsOtherwise,
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<testsuites tests=\"2\" failures=\"1\" skipped=\"1\" time=\"{T}\">\n"
     "  <testsuite name=\"wordless\" tests=\"2\" failures=\"1\" skipped=\"1\" time=\"{T}\">\n"
     "    <testcase classname=\"wordless\" name=\"bye\" time=\"{T}\">\n"
     "      <failure message=\"line 1: module wordless ({DY}wordless{X}) ended the run in "
     "request without a report: {ENDED7}\"/>\n    </testcase>\n"
     "    <testcase classname=\"wordless\" name=\"never\" time=\"{T}\">\n"
     "      <skipped message=\"not run: module wordless {ENDED} in case 1\"/>\n"
     "    </testcase>\n  </testsuite>\n</testsuites>\n"},
    // The heap the module corrupted is found out as its reply is freed; the
    // report survives it. Windows heaps do not check a block's neighbours
    // then, so this is a native row.
    {"HeapCorruptedByTheModuleIsItsFault",
     "module: overrun\nrequest: one\n\nmodule: echo\nrequest: two\n", kCheck, "", 1,
     "TAP version 13\nnot ok 1 - one\n  ---\n"
     "  message: \"module overrun ({DY}overrun{X}) crashed in request, as its reply block was "
     "freed: aborted\"\n  line: 1\n  module: \"overrun\"\n  request: \"one\"\n  ...\n"
     "not ok 2 - two # SKIP not run: module overrun crashed in case 1\n"
     "1..2\n# 0 passed, 1 failed, 1 not run\n",
     kBinding + bound("overrun", "overrun") + "free(): invalid next size (normal)\n" +
         "modtest: module overrun ({D}overrun{X}) crashed in request, as its reply block was "
         "freed: aborted\n",
     std::nullopt, kCrashes, std::nullopt, true},
    {"BadFileRunsNothing",
     "module: echo\nrequest: a\ncolour: red\n\nreply: b\n\nmodule: echo\nrequest: c\n"
     "repeat: 0\n\nrequest: d\nrepeat: -1\nrequest: e\nno colon here\n",
     kCheck, "", 2, "",
     "modtest: cases.txt:3: unknown key \"colour\"; a case takes module, request, reply, "
     "repeat and name\n"
     "modtest: cases.txt:5: the case has no request: line\n"
     "modtest: cases.txt:9: repeat: must be a whole number from 1 to 1000000000, not \"0\"\n"
     "modtest: cases.txt:12: repeat: must be a whole number from 1 to 1000000000, not \"-1\"\n"
     "modtest: cases.txt:13: request: given twice in one case (line 11)\n"
     "modtest: cases.txt:14: not a \"key: value\" line\n"},
    {"FirstCaseWithoutModule", "request: x\n", kCheck, "", 2, "",
     "modtest: cases.txt:1: the first case names no module: line\n"},
    {"FileWithoutCases", "# nothing yet\n\n", kCheck, "", 2, "",
     "modtest: cases.txt: the file holds no case\n"},
    {"MissingFile", std::nullopt, kCheck, "", 2, "",
     "modtest: cannot open the cases file cases.txt in {D}: {ENOENT}\n" + kUsage},
    {"MissingFileByFullPath", std::nullopt, "--check /modtest-nowhere/cases.txt", "", 2, "",
     "modtest: cannot open the cases file /modtest-nowhere/cases.txt: {ENOENT}\n" + kUsage},
    {"CheckWithoutFile", std::nullopt, "--check", "", 2, "",
     "modtest: --check needs the cases file after it\n" + kUsage},
    {"UpdateWithoutCheck", "module: echo\nrequest: x\n", "--update", "", 2, "",
     "modtest: --update works only with --check\n" + kUsage},
    {"UnknownOption", "module: echo\nrequest: x\n", "--check cases.txt --verbose", "", 2, "",
     "modtest: unknown option --verbose\n" + kUsage},
    {"JUnitNamesOutliveEdits",
     "module: echo\nname: kept # named\nrequest: a\nreply: a\n\n"
     "# a line added above a case moves it\nrequest: b#c\nreply: x\n\n"
     "request: " +
         std::string(59, 'a') + "\xc3\xa9\nreply: " + std::string(59, 'a') + "\xc3\xa9\n",
     "--check cases.txt --junit report.xml", "", 1,
     "TAP version 13\nok 1 - kept \\# named\nnot ok 2 - b\\#c\n  ---\n  line: 7\n"
     "  module: \"echo\"\n  request: \"b#c\"\n  expected: \"x\"\n  actual: \"b#c\"\n"
     "  first_difference: 0\n  ...\nok 3 - " +
         std::string(59, 'a') +
         "...\n"
         "1..3\n# 2 passed, 1 failed\n",
     kBinding, std::nullopt, kAnswers,
     "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
     "<testsuites tests=\"3\" failures=\"1\" skipped=\"0\" time=\"{T}\">\n"
     "  <testsuite name=\"echo\" tests=\"3\" failures=\"1\" skipped=\"0\" time=\"{T}\">\n"
     "    <testcase classname=\"echo\" name=\"kept # named\" time=\"{T}\"/>\n"
     "    <testcase classname=\"echo\" name=\"b#c\" time=\"{T}\">\n"
     "      <failure message=\"line 7: the reply differs from reply:\">expected: x\n"
     "actual: b#c\n</failure>\n    </testcase>\n"
     "    <testcase classname=\"echo\" name=\"" +
         std::string(59, 'a') +
         "...\" time=\"{T}\"/>\n"
         "  </testsuite>\n</testsuites>\n"},
    {"UnwritableJUnitFile", "module: echo\nrequest: a\nreply: a\n",
     "--check cases.txt --junit missing/report.xml", "", 2,
     "TAP version 13\nok 1 - a\n1..1\n# 1 passed, 0 failed\n",
     kBinding + "modtest: cannot write the JUnit report missing/report.xml: {ENOENT}\n"},
    {"Version", std::nullopt, "--version", "", 0, "modtest {V}\n", ""},
    {"Help", std::nullopt, "--help dropped.txt", "", 0, kHelp, ""},
    {"ShortHelp", std::nullopt, "dropped.txt -h", "", 0, kHelp, ""},
    {"OtherArgumentsStartTheUsualRun", std::nullopt, "dropped.txt -help -hh -H", "", 0,
     "saori:\techo\nstring:\thello\n\n" + kBinding + exchange("hello", "hello"), ""},
    {"UpdateWritesRepliesAndKeepsTheRest",
     "# recorded replies\r\nmodule: echo\r\nrequest: kept as written\r\nreply: kept as written\r\n"
     "\r\nrequest: changed\r\nreply:   old\r\n\r\nmodule: count\r\nrequest: first\r\n\r\n"
     "module: echo\r\nrequest: \"x\\\\\\y \\\"q\\\"\t end \\\\n\\\\\\\r\n\r\n"
     "request: \"\x95\\ and a lone lead \x81\nrepeat: 2"s,
     "--check cases.txt --update", "", 1,
     "TAP version 13\nok 1 - kept as written\nnot ok 2 - changed\n  ---\n  line: 6\n"
     "  module: \"echo\"\n  request: \"changed\"\n  expected: \"old\"\n  actual: \"changed\"\n"
     "  first_difference: 0\n  ...\nok 3 - first\n  ---\n  actual: \"1\"\n  ...\n"
     "ok 4 - x\\\\y \"q\"\\t end \\n\\\\\n  ---\n"
     "  actual: \"x\\\\y \\\"q\\\"\\t end \\n\\\\\"\n  ...\n"
     "ok 5 - \\x95\\\\ and a lone lead \\x81\n  ---\n"
     "  actual: \"\\x95\\\\ and a lone lead \\x81\"\n  repeat: 2\n  mean_us: {T}\n"
     "  slowest_us: {T}\n  memory_growth_kib: {T}\n  ...\n"
     "1..5\n# 4 passed, 1 failed\n",
     kBinding,
     "# recorded replies\r\nmodule: echo\r\nrequest: kept as written\r\nreply: kept as written\r\n"
     "\r\nrequest: changed\r\nreply:   \"changed\"\r\n\r\nmodule: count\r\nrequest: first\r\n"
     "reply: \"1\"\r\n\r\n"
     "module: echo\r\nrequest: \"x\\\\\\y \\\"q\\\"\t end \\\\n\\\\\\\r\n"
     "reply: \"x\\\\\\y \\\"q\\\"\t end \\\\n\\\\\\\r\n\r\n"
     "request: \"\x95\\ and a lone lead \x81\n"
     "reply: \"\x95\\ and a lone lead \x81\nrepeat: 2"s},
};

void PrintTo(const CheckRun& run, std::ostream* out) {
  *out << run.name;
}

std::string replace_all(std::string text, const std::string& mark, const std::string& value) {
  for (std::size_t at = 0; (at = text.find(mark, at)) != std::string::npos; at += value.size()) {
    text.replace(at, mark.size(), value);
  }
  return text;
}

class CheckModeTest : public testing::TestWithParam<CheckRun> {};

TEST_P(CheckModeTest, ReportsExactlyAndExits) {
  const CheckRun& run = GetParam();
  // Memcheck reports the crash's invalid write itself, and the blocks of a
  // call that never returned as lost.
  if (run.module_end != kAnswers && RunFolder::under_memory_checker()) {
    GTEST_SKIP() << "a module that ends the run is checked natively";
  }
#ifdef __SANITIZE_ADDRESS__
  // The probes are built with the sanitizers too, which catch the fault first.
  if (run.module_end == kCrashes) GTEST_SKIP() << "the sanitizers report the crash";
#endif
  if (run.native_only && RunFolder::under_wine()) GTEST_SKIP() << "a native row";
  RunFolder folder;
  std::string list = kModuleList;
  for (const char* probe : {"echo", "world", "counter"}) folder.add_probe(probe, probe);
  // Modules only some rows list, each where its cases name it.
  const std::vector<std::pair<std::string, std::string>> on_demand = {
      {"trace_a", "talk"},         {"crash_request", "crash"}, {"crash_load", "loadcrash"},
      {"hang_request", "hang"},    {"exit_request", "exit"},   {"wordless_end_request", "wordless"},
      {"reply_overrun", "overrun"}};
  for (const auto& [probe, name] : on_demand) {
    if (run.cases && run.cases->find("module: " + name) != std::string::npos) {
      folder.add_probe(probe, name);
      list += name + ":" + name + "{X}\n";
    }
  }
  folder.write("saori.ini", expand(list, folder));
  folder.write("test.ini", "string:hello\nsaori:echo\n");
  if (run.cases) folder.write("cases.txt", *run.cases);

  RunFolder::Result result = folder.run_with(run.arguments, run.environment);
  std::string why = crash_words(result.err);
  // The folder inside a quoted YAML text, where a backslash is escaped.
  const std::string yaml_folder = replace_all(folder.tool_directory(), "\\", "\\\\");
  auto expected = [&](const std::string& text) {
    std::string out =
        replace_all(expand(replace_all(text, "{DY}", yaml_folder), folder), "{V}", MODTEST_VERSION);
    // Windows gives no way to learn the code of an exit inside a call.
    out = replace_all(out, "{EXIT7}", RunFolder::under_wine() ? "" : " with exit code 7");
    out = replace_all(out, "{ENOENT}", std::strerror(ENOENT));
    // Only natively does a watcher learn that a process ended itself.
    out = replace_all(out, "{ENDED7}",
                      RunFolder::under_wine() ? "exit status 0x00000007" : "exit code 7");
    out = replace_all(out, "{ENDED}", RunFolder::under_wine() ? "crashed" : "ended the process");
    return replace_all(out, "{WHY}", why);
  };
  static const std::regex kFigures("(mean_us|slowest_us|memory_growth_kib): -?[0-9.]+\n");
  EXPECT_EQ(std::regex_replace(result.out, kFigures, "$1: {T}\n"), expected(run.out));
  EXPECT_EQ(result.err, expected(run.err));
  EXPECT_EQ(result.exit_code, run.exit_code);
  if (run.junit_after) {
    static const std::regex kTimes(" time=\"[0-9.]+\"");
    EXPECT_EQ(std::regex_replace(read_file(folder.path() / "report.xml"), kTimes, " time=\"{T}\""),
              expected(*run.junit_after));
  }
  if (!run.cases_after) return;
  EXPECT_EQ(read_file(folder.path() / "cases.txt"), *run.cases_after);
  // What was recorded now passes as it stands.
  RunFolder::Result again = folder.run_with(kCheck);
  EXPECT_EQ(again.exit_code, 0) << again.out;
}

INSTANTIATE_TEST_SUITE_P(Check, CheckModeTest, testing::ValuesIn(kRuns),
                         [](const testing::TestParamInfo<CheckRun>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
