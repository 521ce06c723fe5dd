#include "interactive/session_line.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

struct LineCase {
  std::string line;
  SessionLine::Kind kind;
  std::string name;
  std::string text;
};

// Requests read as cases-file values; commands start with ':' after any
// blanks, and their argument is read the same way.
const LineCase kLines[] = {
    {"hello", SessionLine::kRequest, "", "hello"},
    {"one\\ntwo", SessionLine::kRequest, "", "one\ntwo"},
    {"\"  a, b  \"", SessionLine::kRequest, "", "  a, b  "},
    {"  padded  ", SessionLine::kRequest, "", "padded"},
    {"\":module echo\"", SessionLine::kRequest, "", ":module echo"},
    {"\"\"", SessionLine::kRequest, "", ""},
    {"windows\r", SessionLine::kRequest, "", "windows"},
    {"", SessionLine::kNothing, "", ""},
    {" \t", SessionLine::kNothing, "", ""},
    {":quit", SessionLine::kCommand, "quit", ""},
    {"  :module  echo ", SessionLine::kCommand, "module", "echo"},
    {":save \"my cases.txt\"\r", SessionLine::kCommand, "save", "my cases.txt"},
    {":repeat\t3", SessionLine::kCommand, "repeat", "3"},
    {":", SessionLine::kCommand, "", ""},
};

TEST(SessionLine, ReadsRequestsAndCommands) {
  for (const LineCase& expected : kLines) {
    SessionLine parsed = parse_session_line(expected.line);
    EXPECT_EQ(parsed.kind, expected.kind) << expected.line;
    EXPECT_EQ(parsed.name, expected.name) << expected.line;
    EXPECT_EQ(parsed.text, expected.text) << expected.line;
  }
}

}  // namespace
