// Whole runs of the real tool in a folder of its own, output compared byte
// for byte. The same cases run natively and, for the Windows build, under
// Wine; placeholders stand for what differs: {D} the folder as the tool
// spells it, {S} its separator, {X} the module suffix, {F} the load failure
// line's text after the path.

#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

#include "expected_output.h"
#include "run_folder.h"

namespace {

struct RunCase {
  const char* name;
  std::optional<std::string> test_ini;
  std::optional<std::string> saori_ini;
  std::vector<std::pair<std::string, std::string>> probes;  // probe, destination
  std::string expected;
};

const std::string kEchoSettings = "string:hello\nsaori:echo\n";
const std::string kEchoReport = "saori:\techo\nstring:\thello\n\n";
const std::string kNoList = "saori.ini don't open!!\n";

const RunCase kCases[] = {
    {"FourLineExchange",
     "string:hello\nsaori:world\n",
     "world:world{X}\n",
     {{"world", "world"}},
     "saori:\tworld\nstring:\thello\n\n" + bound("world", "world") + exchange("hello", "world")},
    {"ReportInKeyOrderThenDictionary",
     "b:2\na:1\ndict:x.txt\n",
     std::nullopt,
     {},
     "a:\t1\nb:\t2\nx.txt\n\n" + kNoList + exchange("", "")},
    {"OnlyVelmarIni",
     std::nullopt,
     std::nullopt,
     {},  // written below
     "saori:\tv\nstring:\tfrom velmar\n\n" + kNoList + exchange("from velmar", "from velmar")},
    {"NoSettingsFile",
     std::nullopt,
     std::nullopt,
     {},
     "don't open!!\n\n" + kNoList + exchange("", "")},
    {"SettingsWithCrLfAndEndOfFileMark",
     "# comment\r\n\r\nstring:a\rb\r\nsaori:echo\x1A\nlost:1\n",
     "echo:echo{X}\n",
     {{"echo", "echo"}},
     "saori:\techo\nstring:\tab\n\n" + bound("echo", "echo") + exchange("ab", "ab")},
    {"EscapesReachTheModuleUnchanged",
     "string:\"a, b\" one\\ntwo\\r!\nsaori:echo\n",
     "echo:echo{X}\n",
     {{"echo", "echo"}},
     "saori:\techo\nstring:\ta, b one\ntwo\r!\n\n" + bound("echo", "echo") +
         exchange("a, b one\ntwo\r!", "a, b one\ntwo\r!")},
    {"NameNotListed",
     kEchoSettings,
     "other:echo{X}\n",
     {{"echo", "echo"}},
     kEchoReport + bound("other", "echo") + exchange("hello", "hello")},
    {"NameDiffersInCase",
     "string:hello\nsaori:Echo\n",
     "echo:echo{X}\n",
     {{"echo", "echo"}},
     "saori:\tEcho\nstring:\thello\n\n" + bound("echo", "echo") + exchange("hello", "hello")},
    {"NoModuleList",
     kEchoSettings,
     std::nullopt,
     {},
     kEchoReport + kNoList + exchange("hello", "hello")},
    {"ListOfCommentsAndBlankLines",
     kEchoSettings,
     "# none\n\n  , # still a comment\n\t\n",
     {},
     kEchoReport + exchange("hello", "hello")},
    {"ListWithCrLfEndsAtEndOfFileMark",
     kEchoSettings,
     "# list\r\necho : echo{X}\r\n\x1A\r\nlate:late{X}\r\n",
     {{"echo", "echo"}},
     kEchoReport + bound("echo", "echo") + exchange("hello", "hello")},
    {"UnloadFromLastToFirst",
     "string:hi\nsaori:b\n",
     "a:a{X}\nb:b{X}\nc:c{X}\n",
     {{"trace_a", "a"}, {"trace_b", "b"}, {"trace_c", "c"}},
     "saori:\tb\nstring:\thi\n\n"
     "dll loading.\n[trace_a load {L}:{D}]\nname:a\npath:{D}a{X}\n"
     "dll loading.\n[trace_b load {L}:{D}]\nname:b\npath:{D}b{X}\n"
     "dll loading.\n[trace_c load {L}:{D}]\nname:c\npath:{D}c{X}\n"
     "// request_data//\nhi\n[trace_b request 2]\n// return data //\nhi\n"
     "[trace_c unload]\n[trace_b unload]\n[trace_a unload]\n"},
    {"LoadReceivesTheModulesOwnFolder",
     "string:x\nsaori:t\n",
     "t : sub{S}t{X}\n",
     {{"trace_a", "sub/t"}},
     "saori:\tt\nstring:\tx\n\ndll loading.\n[trace_a load "
     "{M}:{D}sub{S}]\nname:t\npath:{D}sub{S}t{X}\n"
     "// request_data//\nx\n[trace_a request 1]\n// return data //\nx\n[trace_a unload]\n"},
    {"FailedLoadStillGetsTheRequest",
     "string:hey\nsaori:z\n",
     "z:z{X}\n",
     {{"load_0", "z"}},
     "saori:\tz\nstring:\they\n\ndll loading.\n[load_0 load "
     "{L}:{D}]\n{D}z{X}{F}\nname:z\npath:{D}z{X}\n"
     "// request_data//\nhey\n[load_0 request 10]\n// return data //\nstill here\n"},
    {"LoadResultsOtherThanOneFail",
     "string:q\nsaori:n\n",
     "two:two{X}\nminus:minus{X}\n",
     {{"load_2", "two"}, {"load_minus_1", "minus"}},
     "saori:\tn\nstring:\tq\n\n"
     "dll loading.\n[load_2 load {L}:{D}]\n{D}two{X}{F}\nname:two\npath:{D}two{X}\n"
     "dll loading.\n[load_minus_1 load {L}:{D}]\n{D}minus{X}{F}\nname:minus\npath:{D}minus{X}\n" +
         exchange("q", "q")},
    {"MissingLoadExportIsNeverCalled",
     "string:q\nsaori:m\n",
     "m:m{X}\n",
     {{"no_load", "m"}},
     "saori:\tm\nstring:\tq\n\nload is not export!\n{D}m{X}{F}\nname:m\npath:{D}m{X}\n"
     "// request_data//\nq\n[no_load request 1]\n// return data //\nq\n"},
    {"UnloadableFilesPrintNg",
     kEchoSettings,
     "echo:missing{X}\nbare\nnotlib:test.ini\n",
     {},
     kEchoReport + "NG\n{D}missing{X}{F}\nname:echo\npath:{D}missing{X}\n" +
         "NG\n{D}{F}\nname:bare\npath:{D}\n" +
         "NG\n{D}test.ini{F}\nname:notlib\npath:{D}test.ini\n" + exchange("hello", "hello")},
    {"FirstOfTwoEqualNamesAnswers",
     "string:hi\nsaori:d\n",
     "d:a{X}\nd:b{X}\n",
     {{"trace_a", "a"}, {"trace_b", "b"}},
     "saori:\td\nstring:\thi\n\n"
     "dll loading.\n[trace_a load {L}:{D}]\nname:d\npath:{D}a{X}\n"
     "dll loading.\n[trace_b load {L}:{D}]\nname:d\npath:{D}b{X}\n"
     "// request_data//\nhi\n[trace_a request 2]\n// return data //\nhi\n"
     "[trace_b unload]\n[trace_a unload]\n"},
    {"MissingRequestExportIsReported",
     "string:q\nsaori:r\n",
     "r:r{X}\n",
     {{"no_request", "r"}},
     "saori:\tr\nstring:\tq\n\ndll loading.\n[no_request load {L}:{D}]\nname:r\npath:{D}r{X}\n"
     "// request_data//\nq\nrequest is not export!\n// return data //\nq\n[no_request unload]\n"},
    {"MissingUnloadExportIsSkipped",
     "string:q\nsaori:u\n",
     "u:u{X}\n",
     {{"no_unload", "u"}},
     "saori:\tu\nstring:\tq\n\ndll loading.\n[no_unload load {L}:{D}]\nname:u\npath:{D}u{X}\n"
     "// request_data//\nq\n[no_unload request 1]\n// return data //\nq\n"},
    {"RepliesOfOddShapes",
     "string:hey\nsaori:x\n",
     "x:null{X}\n",
     {{"reply_null", "null"}},
     "saori:\tx\nstring:\they\n\n" + bound("x", "null") + exchange("hey", "")},
    {"EmptyReply",
     "string:hey\nsaori:x\n",
     "x:e{X}\n",
     {{"reply_empty", "e"}},
     "saori:\tx\nstring:\they\n\n" + bound("x", "e") + exchange("hey", "")},
    {"ReplyEndsAtItsFirstNul",
     "string:hey\nsaori:x\n",
     "x:n{X}\n",
     {{"reply_nul_inside", "n"}},
     "saori:\tx\nstring:\they\n\n" + bound("x", "n") + exchange("hey", "ab")},
    {"UnwrittenLengthIsTheRequests",
     "string:hey\nsaori:x\n",
     "x:u{X}\n",
     {{"length_unwritten", "u"}},
     "saori:\tx\nstring:\they\n\n" + bound("x", "u") + exchange("hey", "012")},
    {"NegativeLengthIsEmpty",
     "string:hey\nsaori:x\n",
     "x:n{X}\n",
     {{"length_negative", "n"}},
     "saori:\tx\nstring:\they\n\n" + bound("x", "n") + exchange("hey", "")},
    {"LengthBeyondTheBlockIsCut",
     "string:hey\nsaori:x\n",
     "x:h{X}\n",
     {{"length_huge", "h"}},
     "saori:\tx\nstring:\they\n\n" + bound("x", "h") + exchange("hey", "abcdefghijklmnopqrstuvwx")},
    {"ShorterLengthIsHonoured",
     "string:hey\nsaori:x\n",
     "x:s{X}\n",
     {{"length_short", "s"}},
     "saori:\tx\nstring:\they\n\n" + bound("x", "s") + exchange("hey", "abc")},
    {"NoRequestTextSendsAnEmptyBlock",
     "saori:t\n",
     "t:t{X}\n",
     {{"trace_a", "t"}},
     "saori:\tt\n\ndll loading.\n[trace_a load {L}:{D}]\nname:t\npath:{D}t{X}\n"
     "// request_data//\n\n[trace_a request 0]\n// return data //\n\n[trace_a unload]\n"},
};

// Keeps test names readable instead of dumping the case's bytes.
void PrintTo(const RunCase& run_case, std::ostream* out) {
  *out << run_case.name;
}

class RunTest : public testing::TestWithParam<RunCase> {};

TEST_P(RunTest, PrintsExactBytesAndExitsZero) {
  const RunCase& run_case = GetParam();
  RunFolder folder;
  if (run_case.test_ini) folder.write("test.ini", expand(*run_case.test_ini, folder));
  if (std::string(run_case.name) == "OnlyVelmarIni") {
    folder.write("velmar.ini", "string:from velmar\nsaori:v\n");
  }
  if (run_case.saori_ini) folder.write("saori.ini", expand(*run_case.saori_ini, folder));
  for (const auto& [probe, destination] : run_case.probes) folder.add_probe(probe, destination);

  // {L} and {M}: the byte counts of the folder and of its "sub" folder.
  std::string expected = run_case.expected;
  std::string directory = folder.tool_directory();
  for (auto [mark, length] :
       {std::pair{"{L}", directory.size()}, std::pair{"{M}", directory.size() + 4}}) {
    for (std::size_t at; (at = expected.find(mark)) != std::string::npos;) {
      expected.replace(at, 3, std::to_string(length));
    }
  }

  int exit_code = -1;
  std::string output = folder.run(exit_code);
  EXPECT_EQ(output, expand(expected, folder));
  EXPECT_EQ(exit_code, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, RunTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<RunCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
