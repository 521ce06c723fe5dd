#include "text/quoted_segment.h"

#include <gtest/gtest.h>

#include <string>

#include "text/text_cursor.h"

namespace {

// Written for the module list's reader, which now reads quoted parts
// through this one; the case keeps its name.
TEST(ModuleFieldReaderTest, QuotedPartsAndEscapes) {
  const struct {
    const char* text;  // after the opening quote
    const char* field;
    const char* rest;
  } cases[] = {
      {"\\\"x\"r", "\"x", "r"},
      {"\\ax\"", "ax", ""},
      {"\\\\n\"", "\n", ""},
      {"\\\\r\"", "\r", ""},
      {"\\\\q\"", "qq", ""},
      {"\\\\N\"", "NN", ""},
      {"\\\\\"z", "\"", "z"},
      {"\\\\\\a\"", "\\a", ""},
      {"\\\\\x81\x40\"", "\x81\x40\x81\x40", ""},
      {"\\\x81\x22\"", "\x81\x22", ""},
      {"a\x81\x22\x81\x5C\"c", "a\x81\x22\x81\x5C", "c"},
      {"a,b: [c]\t\n\r\"d", "a,b: [c]\t\n\r", "d"},
      {"\\", "", ""},
      {"\\\\", "", ""},
  };
  for (const auto& c : cases) {
    std::string field;
    StringSink sink(field);
    TextCursor text(c.text);
    EXPECT_TRUE(read_quoted_part(text, sink)) << c.text;
    EXPECT_EQ(field, c.field) << c.text;
    EXPECT_STREQ(text.position(), c.rest) << c.text;
  }
}

}  // namespace
