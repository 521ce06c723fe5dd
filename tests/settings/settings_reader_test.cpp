#include "settings/settings_reader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_store.h"

using namespace std::string_literals;

namespace {

// The store is the only thing the parser touches, so a row states the whole
// store it must leave. "dict" keeps every value in call order, which makes
// the value-major order and repeated calls visible.
struct LineCase {
  std::string line;
  std::map<std::string, std::string> values;
  std::vector<std::string> dicts;
  int result;
};

const LineCase kLineCases[] = {
    {"string:hello\n"s, {{"string", "hello"}}, {}, 1},
    {"  saori :  echo  \n"s, {{"saori", "echo"}}, {}, 1},
    {"\tk\t:\tv\t\n"s, {{"k", "v"}}, {}, 1},
    {"dict:a.txt,b.txt\n"s, {}, {"a.txt", "b.txt"}, 1},
    {"k1,k2:x,y\n"s, {{"k1", "x"}, {"k2", "x"}}, {}, 1},
    {"dict,DICT:x,y\n"s, {}, {"x", "x", "y", "y"}, 1},
    {"time:12:30\n"s, {{"time", "12:30"}}, {}, 1},
    {"dict: a b ,c\n"s, {}, {"a b", "c"}, 1},
    {"dict,dict:v\n"s, {}, {"v", "v"}, 1},
    {",dict:v\n"s, {}, {"v"}, 1},
    {"dict,:v\n"s, {}, {"v"}, 1},
    {"dict:,v\n"s, {}, {"v"}, 1},
    {"a\rb:c\n"s, {{"a", "c"}, {"b", "c"}}, {}, 1},
    {"dict:a\rb\n"s, {}, {"a", "b"}, 1},
    {"dict:a\\\rb\n"s, {}, {"ab"}, 1},
    {"dict:a\0b\n"s, {}, {"a", "b"}, 1},
    {"name:\"a, b\"\n"s, {{"name", "a, b"}}, {}, 1},
    {"\"a:b\":c\n"s, {{"a:b", "c"}}, {}, 1},
    {"k:ab\"c,d\"e\n"s, {{"k", "abc,de"}}, {}, 1},
    {"k:\" x \"\n"s, {{"k", " x"}}, {}, 1},
    {"k:\"abc\n"s, {{"k", "abc"}}, {}, 1},
    {"dict:\"a\rb\"\n"s, {}, {"a\rb"}, 1},
    {"msg:one\\ntwo\n"s, {{"msg", "one\ntwo"}}, {}, 1},
    {"k:\\r\n"s, {{"k", "\r"}}, {}, 1},
    {"path:C:\\temp\\x\n"s, {{"path", "C:emp"}}, {}, 1},
    {"path:\"C:\\temp\\x\"\n"s, {{"path", "C:tempx"}}, {}, 1},
    {"k:\"a\\nb\"\n"s, {{"k", "anb"}}, {}, 1},
    {"k:\"a\\\\nb\"\n"s, {{"k", "a\nb"}}, {}, 1},
    {"k:\"a\\\\rb\"\n"s, {{"k", "a\rb"}}, {}, 1},
    {"k:\"a\\\"b\"\n"s, {{"k", "a\"b"}}, {}, 1},
    {"k:\"a\\\\xb\"\n"s, {{"k", "axxb"}}, {}, 1},
    {"k:\"\\\\\\x\"\n"s, {{"k", "\\x"}}, {}, 1},
    {"k:\"\\\\\"x\n"s, {{"k", "\"x"}}, {}, 1},
    {"k:x\\\n"s, {{"k", "x"}}, {}, 1},
    {"k:a\\"s, {{"k", "a"}}, {}, 1},
    {"k:\"a\\"s, {{"k", "a"}}, {}, 1},
    // A second byte 0x5C, 0x22, 0x2C or 0x3A belongs to its lead byte.
    {"k:\x95\x5Cz\n"s, {{"k", "\x95\x5Cz"}}, {}, 1},
    {"k:\\\x95\x5Cn\n"s, {{"k", "n"}}, {}, 1},
    {"k:\"\x95\x5C\"\n"s, {{"k", "\x95\x5C"}}, {}, 1},
    {"k:\"\\\x95\x5C\"\n"s, {{"k", "\x95\x5C"}}, {}, 1},
    {"k:\"\\\\\x95\x5C\"\n"s, {{"k", "\x95\x5C\x95\x5C"}}, {}, 1},
    {"k:\x95\"a,b\n"s, {{"k", "\x95\"a"}}, {}, 1},
    {"dict:\x95,a,b\n"s, {}, {"\x95,a", "b"}, 1},
    {"\x95:k:v\n"s, {{"\x95:k", "v"}}, {}, 1},
    {"k:a\x95\n"s, {{"k", "a\x95"}}, {}, 1},
    {"k:a\x95"s, {{"k", "a\x95"}}, {}, 1},
    {"abc\n"s, {}, {}, 0},
    {"k:\n"s, {}, {}, 1},
    {"k:"s, {}, {}, 0},
    {"k:v"s, {{"k", "v"}}, {}, 1},
    {":v\n"s, {}, {}, 1},
    {"k:\" \"\n"s, {}, {}, 1},
    {"k:\\n\n"s, {}, {}, 1},
    {"   \n"s, {}, {}, 0},
    {"   "s, {}, {}, 0},
    {"  # note: x\n"s, {{"# note", "x"}}, {}, 1},
};

TEST(SettingsLineParser, EdgeCaseTable) {
  SettingsReader reader;
  for (const LineCase& row : kLineCases) {
    SCOPED_TRACE(testing::PrintToString(row.line));
    SettingsStore store;
    EXPECT_EQ(reader.parse_settings_line(store, row.line), row.result);
    EXPECT_EQ(store.values, row.values);
    EXPECT_EQ(store.dictionaries, row.dicts);
  }
}

TEST(SettingsLineParser, NeverReadsPastTheEndOfTheLine) {
  // The bytes after each view would change the value if they were read.
  const std::string escape = "k:\"a\\\\r"s;
  const std::string lead = "dict:a\x95,b"s;
  SettingsReader reader;
  SettingsStore store;
  EXPECT_EQ(reader.parse_settings_line(store, std::string_view(escape.data(), 6)), 1);
  EXPECT_EQ(reader.parse_settings_line(store, std::string_view(lead.data(), 7)), 1);
  EXPECT_EQ(store.values, (std::map<std::string, std::string>{{"k", "a"}}));
  EXPECT_EQ(store.dictionaries, std::vector<std::string>{"a\x95"});
}

}  // namespace
