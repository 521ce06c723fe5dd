#include "modules/module_field_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/lead_byte.h"

namespace {

const std::string kOverflow = "word OVERFLOW!\n";

struct Split {
  bool is_module_line = false;
  std::string name, path;
  std::string output;
};

Split split(const std::string& line) {
  std::vector<char> name(32768, '\x7F'), path(32768, '\x7F');
  testing::internal::CaptureStdout();
  Split result;
  result.is_module_line = split_module_line(line.c_str(), name.data(), path.data()) == 1;
  result.output = testing::internal::GetCapturedStdout();
  if (result.is_module_line) {
    result.name = name.data();
    result.path = path.data();
  } else {
    EXPECT_EQ(name[0], '\x7F') << "no module line, yet the name was written";
    EXPECT_EQ(path[0], '\x7F') << "no module line, yet the path was written";
  }
  return result;
}

TEST(ModuleFieldReaderTest, LeadByteBoundaries) {
  const struct {
    unsigned char byte;
    int lead;
  } cases[] = {{0x81, 1}, {0x9F, 1}, {0xE0, 1}, {0xEF, 1}, {0xF0, 1}, {0xFC, 1},
               {0x80, 0}, {0xA0, 0}, {0xDF, 0}, {0xFD, 0}, {0x5C, 0}, {0x00, 0}};
  for (const auto& c : cases) EXPECT_EQ(is_lead_byte(c.byte), c.lead) << int(c.byte);
}

TEST(ModuleFieldReaderTest, NameFieldLeavesSeparatorForTheCaller) {
  TextCursor text("calc:calc.dll");
  char field[kFieldCapacity];
  EXPECT_EQ(read_name_field(field, text), 4u);
  EXPECT_STREQ(text.position(), ":calc.dll");
  EXPECT_EQ(text.take_byte(), ':');
  EXPECT_STREQ(text.position(), "calc.dll");
}

TEST(ModuleFieldReaderTest, FieldsCountsAndRest) {
  const struct {
    bool name;
    const char* text;
    const char* field;
    uint32_t count;
    const char* rest;
  } cases[] = {
      {true, "\"a \"  :x", "a", 2, "  :x"},  // the trimmed blank is still counted
      {true, ",\t calc\t\n", "calc", 4, "\t\n"},
      {true, "", "", 0, ""},
      {true, " ,\t", "", 0, ""},
      {true, "::x", "", 0, "::x"},  // leading colons are not skipped
      {true, "a]b\\c d", "a]b\\c", 5, " d"},
      {true, "x[y z]w:q", "x[y z]w", 7, ":q"},
      {true, "[a\"]\"b] c", "[a]b]", 5, " c"},  // a quote inside a group
      {true, "[a\n", "[a", 3, ""},              // unclosed group, line feed trimmed
      {true, "\"ab", "ab", 2, ""},              // unclosed quoted part
      {true, "\"a\r\":", "a\r", 2, ":"},
      {true, "\"a,\":", "a,", 2, ":"},
      {true, "[a,", "[a,", 3, ""},
      {true, "ab\x81", "ab\x81", 3, ""},
      {false, "  my dir  \n", "my dir", 8, "\n"},
      {false, "a[b c]d,e", "a[b c]d", 7, ",e"},
      {false, "d:x \"q\"\tz", "d:x q", 5, "\tz"},
      {false, "\"p\r\"\n", "p\r", 2, "\n"},
      {false, "\"p\n\"\n", "p", 2, "\n"},
      {false, "\\\\x\\", "\\\\x\\", 4, ""},  // no escapes outside quotes
  };
  for (const auto& c : cases) {
    char field[kFieldCapacity];
    TextCursor text(c.text);
    testing::internal::CaptureStdout();
    uint32_t count = c.name ? read_name_field(field, text) : read_path_field(field, text);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_STREQ(field, c.field) << c.text;
    EXPECT_EQ(count, c.count) << c.text;
    EXPECT_STREQ(text.position(), c.rest) << c.text;
  }
}

TEST(ModuleFieldReaderTest, SplitsLines) {
  const struct {
    const char* line;
    const char* name;  // nullptr: no module line
    const char* path;
  } cases[] = {
      {"calc:calc.dll\n", "calc", "calc.dll"},
      {"echo : plugins\\echo.dll\n", "echo", "plugins\\echo.dll"},
      {"  dice = my plugins\\dice.dll  \n", "dice", "my plugins\\dice.dll"},
      {"\"big name\" : big.dll\n", "big name", "big.dll"},
      {"[a b]:grp.dll\n", "[a b]", "grp.dll"},
      {"calc : calc.dll, extra words\n", "calc", "calc.dll"},
      {"calc : calc.dll\told entry\n", "calc", "calc.dll"},
      {"calc:\"a,b.dll\"\n", "calc", "a,b.dll"},
      {"calc:\"my dir\"\\calc.dll\n", "calc", "my dir\\calc.dll"},
      {"calc calc.dll\n", "calc", "alc.dll"},
      {":only.dll\n", "", "only.dll"},
      {"calc\n", "calc", ""},
      {"calc", "calc", ""},
      {"p : dir:x.dll\n", "p", "dir:x.dll"},
      {"[a:b]c d:e\n", "[a:b]c", ":e"},
      {"[abc\n", "[abc", ""},
      {"calc:calc.dll # note\n", "calc", "calc.dll # note"},
      {"\rcalc:x.dll\n", "", "calc:x.dll"},
      {"calc \x82\x5Cx.dll\n", "calc", "\\x.dll"},
      {"\x81\x3A\x81\x2C\x81\x22\x81\x5B\x81\x5C:p\n", "\x81\x3A\x81\x2C\x81\x22\x81\x5B\x81\x5C",
       "p"},
      {"[\x81\x5D x]:p\n", "[\x81\x5D x]", "p"},
      {"n:\x81\x2C\x81\x09\x81\x0A\x81\x5C.dll\n", "n", "\x81\x2C\x81\x09\x81\x0A\x81\x5C.dll"},
      {"n:ab\x81", "n", "ab\x81"},
      {"\"\x81\x22\x81\x5C\":p\n", "\x81\x22\x81\x5C", "p"},
      {"# any comment\n", nullptr, nullptr},
      {" \t,#calc:x\n", nullptr, nullptr},
      {"\n", nullptr, nullptr},
      {"  \n", nullptr, nullptr},
      {"", nullptr, nullptr},
  };
  for (const auto& c : cases) {
    Split s = split(c.line);
    EXPECT_EQ(s.output, "") << c.line;
    ASSERT_EQ(s.is_module_line, c.name != nullptr) << c.line;
    if (!c.name) continue;
    EXPECT_EQ(s.name, c.name) << c.line;
    EXPECT_EQ(s.path, c.path) << c.line;
  }
}

TEST(ModuleFieldReaderTest, FieldLimit) {
  const std::string a4094(4094, 'a'), a4095(4095, 'a');
  const struct {
    std::string line;
    std::string name, path, output;
  } cases[] = {
      {a4095 + ":x\n", a4095, "x", ""},
      // The byte that does not fit is dropped; the separator and the path
      // then come from the rest of the name.
      {a4095 + "XYZ:p.dll\n", a4095, "Z:p.dll", kOverflow},
      {a4094 + "\x81@b:x\n", a4094, ":x", kOverflow},  // a two-byte character does not fit
      {"\"" + a4094 + "\\\\r\":x\n", a4094 + "\r", "x", ""},
      {"\"" + a4095 + "\\\\r\":x\n", a4095, ":x", kOverflow},  // the quote is the separator
      {"[" + a4095 + "]:x\n", "[" + a4094, ":x", kOverflow},
      {"[\"" + a4095 + "\"b]:x\n", "[" + a4094, "b]:x", kOverflow},
      // Only the name overflows: the quoted rest ends up in the path.
      {"\"" + std::string(5000, 'a') + "\":x\n", a4095, std::string(903, 'a') + ":x", kOverflow},
      {"n:" + std::string(4100, 'p') + "\n", "n", std::string(4095, 'p'), kOverflow},
      {std::string(32766, 'a') + "\n", std::string(4095, 'a'), std::string(4095, 'a'),
       kOverflow + kOverflow},
  };
  for (const auto& c : cases) {
    Split s = split(c.line);
    SCOPED_TRACE(c.line.substr(0, 20) + "... of " + std::to_string(c.line.size()) + " bytes");
    EXPECT_EQ(s.output, c.output);
    EXPECT_TRUE(s.is_module_line);
    EXPECT_EQ(s.name, c.name);
    EXPECT_EQ(s.path, c.path);
  }
}

// A two-byte character still fits where one more byte would not; the byte
// is refused whole and the field stays as it was.
TEST(ModuleFieldReaderTest, AppendPieceLeavesFieldOnOverflow) {
  std::vector<char> field(kFieldCapacity, 'a');
  const std::string line = std::string(4093, 'a') + "\x81\x40" + "b";
  TextCursor text(line.c_str());
  testing::internal::CaptureStdout();
  EXPECT_EQ(read_name_field(field.data(), text), 4095u);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), kOverflow);
  EXPECT_TRUE(text.empty());
  EXPECT_EQ(std::string(field.data()), std::string(4093, 'a') + "\x81\x40");
}

}  // namespace
