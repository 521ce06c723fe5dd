#include "interactive/line_editor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct KeysCase {
  const char* name;
  std::vector<std::string> history;
  std::string keys;
  std::vector<std::string> lines;  // what each Enter gave
  bool ended;                      // a Ctrl-D on an empty line came last
};

const KeysCase kCases[] = {
    {"Typed", {}, "abc\r", {"abc"}, false},
    {"Backspace", {}, "abcd\x7f\x08\r", {"ab"}, false},
    {"InsertAfterLeftArrow", {}, "ac\x1b[Db\r", {"abc"}, false},
    {"HomeEndAndDelete", {}, "bc\x1b[Ha\x1b[F!\x1b[D\x1b[3~\r", {"abc"}, false},
    {"CtrlKeys", {}, "xyz\x01\x06\x0b!\x05?\r", {"x!?"}, false},
    {"KillToStart", {}, "drop keep\x01\x1b[C\x1b[C\x1b[C\x1b[C\x1b[C\x15\r", {"keep"}, false},
    {"CharacterOfManyBytes",
     {},
     "a\xc3\xa9\x7f"
     "b\r",
     {"ab"},
     false},
    {"UpArrowRecallsNewestFirst",
     {"one", "two"},
     "\x1b[A\r\x1b[A\x1b[A\x1b[A\r",
     {"two", "one"},
     false},
    {"DownArrowBackToTheDraft", {"old"}, "new\x1b[A\x1b[B\r", {"new"}, false},
    {"ApplicationModeArrows", {"old"}, "\x1bOA\r", {"old"}, false},
    {"EditingARecalledLine",
     {"abc"},
     "\x1b[A\x7f"
     "d\r\x1b[A\x1b[A\r",
     {"abd", "abc"},
     false},
    {"CtrlCDropsTheLine", {}, "gone\x03kept\r", {"kept"}, false},
    {"CtrlDDeletesInsideALine", {}, "ab\x1b[D\x04\r", {"a"}, false},
    {"CtrlDEndsAnEmptyLine", {}, "\x04", {}, true},
};

void PrintTo(const KeysCase& keys_case, std::ostream* out) {
  *out << keys_case.name;
}

class LineEditorTest : public testing::TestWithParam<KeysCase> {};

// Each line entered goes into the history, as the session does.
TEST_P(LineEditorTest, GivesTheLines) {
  const KeysCase& keys_case = GetParam();
  LineEditor editor;
  for (const std::string& line : keys_case.history) editor.remember(line);
  std::string screen;
  std::vector<std::string> lines;
  bool ended = false;
  editor.start("> ", screen);
  for (char key : keys_case.keys) {
    LineEditor::Result result = editor.feed(static_cast<unsigned char>(key), screen);
    ASSERT_FALSE(ended) << "a key after the end";
    if (result == LineEditor::kLine) {
      lines.push_back(editor.line());
      editor.remember(editor.line());
      editor.start("> ", screen);
    }
    ended = result == LineEditor::kEnd;
  }
  EXPECT_EQ(lines, keys_case.lines);
  EXPECT_EQ(ended, keys_case.ended);
}

INSTANTIATE_TEST_SUITE_P(Keys, LineEditorTest, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<KeysCase>& info) {
                           return std::string(info.param.name);
                         });

// What the terminal is told: typing at the end only adds the byte, and the
// row is drawn again with the cursor put back where it belongs.
TEST(LineEditor, DrawsTheRow) {
  LineEditor editor;
  std::string screen;
  editor.start("echo> ", screen);
  for (char key : std::string("ac\x1b[Db")) editor.feed(static_cast<unsigned char>(key), screen);
  EXPECT_EQ(screen, "echo> ac\recho> ac\x1b[K\x1b[1D\recho> abc\x1b[K\x1b[1D");
}

}  // namespace
