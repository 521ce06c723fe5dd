#include "check/cases_file.h"

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
               "module: m\nrequest: a, b: c\nreply: \"x \" \n \t\nname:  n, \"1\"\nrequest:\n\n"
               "module: o\nrequest: p\n\nmodule: m\nrequest: q\n");
  CasesFile file;
  std::vector<std::string> errors;
  ASSERT_EQ(read_cases_file((folder.path() / "c.txt").string(), file, errors), kCasesRead);
  ASSERT_EQ(file.cases.size(), 4u);
  const CheckCase& first = file.cases[0];
  EXPECT_EQ(file.view(first, first.request), "a, b: c");
  EXPECT_EQ(file.view(first, first.reply), "x ");
  EXPECT_EQ(first.reply_line, 3u);
  const CheckCase& second = file.cases[1];
  EXPECT_EQ(second.line, 5u);
  EXPECT_EQ(file.view(second, second.name), "n, 1");
  EXPECT_EQ(file.view(second, second.request), "");
  EXPECT_FALSE(second.has_reply);
  // Each module name is kept once; a case without one takes the one before.
  EXPECT_EQ(file.modules, (std::vector<std::string>{"m", "o"}));
  EXPECT_EQ(second.module, 0u);
  EXPECT_EQ(file.cases[2].module, 1u);
  EXPECT_EQ(file.cases[3].module, 0u);
}

TEST(ReadCasesFile, NulOutsideQuotesIsAnError) {
  TempFolder folder;
  folder.write("c.txt", "module: m\nrequest: a\0b\nreply: \"a\0b\"\n"s);
  CasesFile file;
  std::vector<std::string> errors;
  std::string path = (folder.path() / "c.txt").string();
  EXPECT_EQ(read_cases_file(path, file, errors), kCasesFileBad);
  EXPECT_EQ(errors,
            std::vector<std::string>{path + ":2: a NUL byte outside quotes ends the value; put "
                                            "it inside quotes"});
}

}  // namespace
