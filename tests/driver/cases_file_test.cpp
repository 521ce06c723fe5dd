#include "driver/cases_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_folder.h"

using namespace std::string_literals;

namespace {

TEST(ParseRepeatCount, TakesWholeNumbersFromOneToTheLimit) {
  const std::pair<const char*, unsigned long> kRows[] = {
      {"1", 1},          {"007", 7}, {"1000000000", 1000000000},
      {"1000000001", 0}, {"0", 0},   {"", 0},
      {"+1", 0},         {"-1", 0},  {"1 ", 0},
      {"1e3", 0},        {"x", 0},   {"99999999999", 0},
  };
  for (const auto& [text, count] : kRows) EXPECT_EQ(parse_repeat_count(text), count) << text;
}

// Values run to the end of the line, commas included; quotes keep blanks at
// the end; a blank line with blanks in it still ends a case.
TEST(ReadCasesFile, ValuesAndCaseBoundaries) {
  TempFolder folder;
  folder.write("c.txt",
               "module: m\nrequest: a, b: c\nreply: \"x \" \n \t\nname:  n, \"1\"\nrequest:\n");
  std::vector<CheckCase> cases;
  std::vector<std::string> errors;
  ASSERT_EQ(read_cases_file((folder.path() / "c.txt").string(), cases, errors), kCasesRead);
  ASSERT_EQ(cases.size(), 2u);
  EXPECT_EQ(cases[0].request, "a, b: c");
  EXPECT_EQ(cases[0].reply, "x ");
  EXPECT_EQ(cases[0].reply_line, 3u);
  EXPECT_EQ(cases[1].line, 5u);
  EXPECT_EQ(cases[1].module, "m");
  EXPECT_EQ(cases[1].name, "n, 1");
  EXPECT_EQ(cases[1].request, "");
  EXPECT_FALSE(cases[1].has_reply);
}

TEST(ReadCasesFile, NulOutsideQuotesIsAnError) {
  TempFolder folder;
  folder.write("c.txt", "module: m\nrequest: a\0b\nreply: \"a\0b\"\n"s);
  std::vector<CheckCase> cases;
  std::vector<std::string> errors;
  std::string path = (folder.path() / "c.txt").string();
  EXPECT_EQ(read_cases_file(path, cases, errors), kCasesFileBad);
  EXPECT_EQ(errors,
            std::vector<std::string>{path + ":2: a NUL byte outside quotes ends the value; put "
                                            "it inside quotes"});
}

}  // namespace
