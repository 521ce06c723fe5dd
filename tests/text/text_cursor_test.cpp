#include "text/text_cursor.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

// These cases were written for the module list's reader, which now reads
// through this cursor; they keep their names.

TEST(ModuleFieldReaderTest, TakeAndPeekCharacters) {
  const struct {
    const char* text;
    int kind;
    const char* piece;
    const char* rest;
  } cases[] = {
      {"", 0, "", ""},  // nothing to take: an empty character
      {"ab", 1, "a", "b"},
      {"\x81\x40z", 2, "\x81\x40", "z"},
      {"\x81\x5C\\", 2, "\x81\x5C", "\\"},
      {"\x81", 1, "\x81", ""},  // a lead byte at the end stands alone
      {"\xA0\x40", 1, "\xA0", "\x40"},
      {"\xFD\x40", 1, "\xFD", "\x40"},
  };
  for (const auto& c : cases) {
    TextCursor text(c.text);
    std::string_view peeked = text.peek_char();
    EXPECT_STREQ(text.position(), c.text) << "peeking moved the cursor: " << c.text;
    std::string_view taken = text.take_char();
    EXPECT_EQ(peeked.size(), static_cast<std::size_t>(c.kind)) << c.text;
    EXPECT_EQ(taken.size(), static_cast<std::size_t>(c.kind)) << c.text;
    EXPECT_EQ(std::string(peeked), c.piece) << c.text;
    EXPECT_EQ(std::string(taken), c.piece) << c.text;
    EXPECT_STREQ(text.position(), c.rest) << c.text;
  }
}

TEST(ModuleFieldReaderTest, TakeTextByteIgnoresLeadBytes) {
  TextCursor text("\x81\x40");
  EXPECT_EQ(text.take_byte(), 0x81);
  EXPECT_STREQ(text.position(), "\x40");
  TextCursor empty("");
  EXPECT_EQ(empty.take_byte(), 0);
  EXPECT_EQ(*empty.position(), '\0');
}

}  // namespace
