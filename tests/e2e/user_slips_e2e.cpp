// Slips a user makes in the two files, each said in one line on standard
// error while standard output stays exactly what it always was. Placeholders
// as in single_run_e2e.cpp; an expected standard-error line that ends in '*'
// matches any line that begins with the text before it (the system's own
// words for a library that did not load differ by platform).

#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "expected_output.h"
#include "run_folder.h"

namespace {

struct SlipCase {
  const char* name;
  const char* settings_file;  // "test.ini" or "velmar.ini"
  std::string settings;
  std::optional<std::string> saori_ini;
  std::vector<std::pair<std::string, std::string>> probes;  // probe, destination
  std::string out;
  std::vector<std::string> err;
};

const std::string kEchoList = "echo:echo{X}\n";
const std::pair<std::string, std::string> kEcho{"echo", "echo"};
const std::string kBom = "\xEF\xBB\xBF";
const std::string kRequestIsReply =
    ", so the request went to no module and the reply shown is the request itself";
const std::string kNotLoaded = "modtest: module echo ({D}missing{X}) did not load: *";

std::string no_module_named(const std::string& name, const std::string& suggestion = "") {
  return "modtest: no module listed in saori.ini is named \"" + name + "\"" + kRequestIsReply +
         (suggestion.empty() ? "" : "; did you mean \"" + suggestion + "\"?");
}

std::string repeated(const std::string& key, int first_line, const std::string& kept) {
  return key + " is given again; the value from line " + std::to_string(first_line) + ", " + kept +
         ", is kept, since a key keeps the first value it gets, and this line's is dropped";
}

// Twenty-three lines of 70 bytes with no ':'.
std::string many_slips() {
  std::string lines;
  for (int i = 0; i < 23; ++i) lines += std::string(70, 'x') + "\n";
  return lines;
}

std::vector<std::string> many_slip_warnings() {
  std::vector<std::string> lines;
  for (int i = 1; i <= 20; ++i) {
    lines.push_back("modtest: test.ini line " + std::to_string(i) + ": \"" + std::string(60, 'x') +
                    "...\" has no ':' between key and value, so it sets "
                    "nothing");
  }
  lines.push_back("modtest: test.ini: 3 more warnings like these are not listed");
  lines.push_back("modtest: the settings name no module (saori is empty or missing)" +
                  kRequestIsReply);
  return lines;
}

const SlipCase kCases[] = {
    {"HealthyFilesSayNothing",
     "test.ini",
     "# comment\n\n   \n\t\nk:\nstring:\"hello, world\"\nsaori:echo\ndict:a.txt,b.txt\n"
     "other:1,2\n",
     kEchoList,
     {kEcho},
     "other:\t1\nsaori:\techo\nstring:\thello, world\na.txt\nb.txt\n\n" + bound("echo", "echo") +
         exchange("hello, world", "hello, world"),
     {}},
    {"ByteOrderMarkInSettings",
     "test.ini",
     kBom + "string:hello\nsaori:echo\n",
     kEchoList,
     {kEcho},
     "saori:\techo\n" + kBom + "string:\thello\n\n" + bound("echo", "echo") + exchange("", ""),
     {"modtest: test.ini line 1: the file begins with a UTF-8 byte-order mark, whose three "
      "invisible bytes (EF BB BF) become part of the first key, so this line does not set the key "
      "it shows; save the file without the mark"}},
    {"ByteOrderMarkBeforeAComment",
     "test.ini",
     kBom + "# notes\nstring:hi\nsaori:echo\n",
     kEchoList,
     {kEcho},
     "saori:\techo\nstring:\thi\n\n" + bound("echo", "echo") + exchange("hi", "hi"),
     {"modtest: test.ini line 1: the file begins with a UTF-8 byte-order mark, whose three "
      "invisible bytes (EF BB BF) become part of the first key, so this comment line is read as a "
      "setting; save the file without the mark"}},
    {"ByteOrderMarkInModuleList",
     "test.ini",
     "string:hello\nsaori:echo\n",
     kBom + kEchoList,
     {kEcho},
     "saori:\techo\nstring:\thello\n\ndll loading.\nname:" + kBom + "echo\npath:{D}echo{X}\n" +
         exchange("hello", "hello"),
     {"modtest: saori.ini line 1: the file begins with a UTF-8 byte-order mark, whose three "
      "invisible bytes (EF BB BF) become part of the first module's name; save the file without "
      "the mark",
      no_module_named("echo")}},
    {"EqualsSignForColon",
     "test.ini",
     "string=hello\nsaori:echo\n",
     kEchoList,
     {kEcho},
     "saori:\techo\n\n" + bound("echo", "echo") + exchange("", ""),
     {"modtest: test.ini line 1: \"string=hello\" has no ':', so it sets nothing; settings are "
      "written key:value, as in \"string:hello\""}},
    {"LinesWithoutColonCountedWithCrLf",
     "test.ini",
     "# settings\r\n\r\nstring:hi\r\nabc\r\n  # note\r\nk\xE3\x81\x82:v\r\nsaori:echo\r\n",
     kEchoList,
     {kEcho},
     "saori:\techo\nstring:\thi\n\n" + bound("echo", "echo") + exchange("hi", "hi"),
     {"modtest: test.ini line 4: \"abc\" has no ':' between key and value, so it sets nothing",
      "modtest: test.ini line 5: \"  # note\" sets nothing, and it is no comment either: only a "
      "'#' as the very first byte of a line starts a comment",
      "modtest: test.ini line 6: \"k\xE3\x81\x82:v\" sets nothing: its ':' is inside double "
      "quotes or is read as the second byte of a two-byte character (see \"Two-byte text\" in "
      "the README)"}},
    {"RequestTextGivenTwice",
     "test.ini",
     "string:one\\ntwo\"\\\"\"\nsaori:echo\n# later\nstring:second\n",
     kEchoList,
     {kEcho},
     "saori:\techo\nstring:\tone\ntwo\"\n\n" + bound("echo", "echo") +
         exchange("one\ntwo\"", "one\ntwo\""),
     {"modtest: test.ini line 4: " + repeated("string", 1, "\"one\\ntwo\\\"\"")}},
    {"ModuleNameGivenTwice",
     "test.ini",
     "saori:echo\nstring:hi\nsaori,other:world\n",
     kEchoList,
     {kEcho},
     "other:\tworld\nsaori:\techo\nstring:\thi\n\n" + bound("echo", "echo") + exchange("hi", "hi"),
     {"modtest: test.ini line 3: " + repeated("saori", 1, "\"echo\"")}},
    {"RequestCutAtAComma",
     "test.ini",
     "string:hello, world\nsaori:echo\n",
     kEchoList,
     {kEcho},
     "saori:\techo\nstring:\thello\n\n" + bound("echo", "echo") + exchange("hello", "hello"),
     {"modtest: test.ini line 1: the value of string is cut at an unquoted comma: the request is "
      "\"hello\", and the rest became a second value, which is dropped; put the value in double "
      "quotes to keep its commas"}},
    {"VelmarIniNamedAndNoModuleNamed",
     "velmar.ini",
     "string=x\n",
     kEchoList,
     {kEcho},
     "\n" + bound("echo", "echo") + exchange("", ""),
     {"modtest: velmar.ini line 1: \"string=x\" has no ':', so it sets nothing; settings are "
      "written key:value, as in \"string:x\"",
      "modtest: the settings name no module (saori is empty or missing)" + kRequestIsReply}},
    {"NameDiffersInCase",
     "test.ini",
     "string:hi\nsaori:ECHO\n",
     "world:world{X}\necho:echo{X}\n",
     {kEcho, {"world", "world"}},
     "saori:\tECHO\nstring:\thi\n\n" + bound("world", "world") + bound("echo", "echo") +
         exchange("hi", "hi"),
     {no_module_named("ECHO", "echo")}},
    {"NameWithSwappedLetters",
     "test.ini",
     "string:hi\nsaori:ecoh\n",
     "world:world{X}\necho:echo{X}\n",
     {kEcho, {"world", "world"}},
     "saori:\tecoh\nstring:\thi\n\n" + bound("world", "world") + bound("echo", "echo") +
         exchange("hi", "hi"),
     {no_module_named("ecoh", "echo")}},
    {"NameFarFromEveryModule",
     "test.ini",
     "string:hi\nsaori:zebra\n",
     kEchoList,
     {kEcho},
     "saori:\tzebra\nstring:\thi\n\n" + bound("echo", "echo") + exchange("hi", "hi"),
     {no_module_named("zebra")}},
    {"NamedModuleDidNotLoad",
     "test.ini",
     "string:hi\nsaori:echo\n",
     "echo:missing{X}\n",
     {},
     "saori:\techo\nstring:\thi\n\nNG\n{D}missing{X}{F}\nname:echo\npath:{D}missing{X}\n" +
         exchange("hi", "hi"),
     {kNotLoaded,
      "modtest: module \"echo\" is listed, but its library did not load" + kRequestIsReply}},
    {"NoSuggestionOfAModuleThatDidNotLoad",
     "test.ini",
     "string:hi\nsaori:ecoh\n",
     "echo:missing{X}\n",
     {},
     "saori:\tecoh\nstring:\thi\n\nNG\n{D}missing{X}{F}\nname:echo\npath:{D}missing{X}\n" +
         exchange("hi", "hi"),
     {kNotLoaded, no_module_named("ecoh")}},
    {"ManySlipsAreCounted",
     "test.ini",
     many_slips(),
     std::nullopt,
     {},
     "\nsaori.ini don't open!!\n" + exchange("", ""),
     many_slip_warnings()},
};

void PrintTo(const SlipCase& slip_case, std::ostream* out) {
  *out << slip_case.name;
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool line_matches(const std::string& actual, const std::string& expected) {
  if (expected.empty() || expected.back() != '*') return actual == expected;
  return actual.compare(0, expected.size() - 1, expected, 0, expected.size() - 1) == 0;
}

class UserSlip : public testing::TestWithParam<SlipCase> {};

TEST_P(UserSlip, WarnsOnStandardErrorOnly) {
  const SlipCase& slip_case = GetParam();
  RunFolder folder;
  folder.write(slip_case.settings_file, slip_case.settings);
  if (slip_case.saori_ini) folder.write("saori.ini", expand(*slip_case.saori_ini, folder));
  for (const auto& [probe, destination] : slip_case.probes) folder.add_probe(probe, destination);

  RunFolder::Result result = folder.run_with("");
  EXPECT_EQ(result.out, expand(slip_case.out, folder));
  EXPECT_EQ(result.exit_code, 0);
  std::vector<std::string> actual = lines_of(result.err);
  bool same =
      actual.size() == slip_case.err.size() && (result.err.empty() || result.err.back() == '\n');
  for (std::size_t i = 0; same && i < actual.size(); ++i) {
    same = line_matches(actual[i], expand(slip_case.err[i], folder));
  }
  EXPECT_TRUE(same) << "standard error:\n" << result.err;
}

INSTANTIATE_TEST_SUITE_P(Cases, UserSlip, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SlipCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
