#include "check/cases_update.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_line_parser.h"

using namespace std::string_literals;

namespace {

// A value as the cases reader takes it from its line.
std::string read_back(const std::string& value) {
  std::string_view text = value;
  std::string token;
  next_settings_value_exact(token, text, SettingsTokenMode::kLine);
  EXPECT_TRUE(text.empty()) << value;
  return token;
}

struct EncodeCase {
  std::string reply;
  std::string value;  // empty: no value can hold the reply
};

const EncodeCase kEncodeCases[] = {
    {"plain", "\"plain\""},
    {"", "\"\""},
    {"a\"b", "\"a\\\"b\""},
    {"a\nb\r", "\"a\\\\nb\\\\r\""},
    {"a\\b", "\"a\\\\\\b\""},
    {"a\\\"", "\"a\\\\\\\"\""},
    {"a\\\n", "\"a\\\\\\\\n\""},
    {"a\\", "\"a\\\\\\"},          // no closing quote: it would be taken as the character
    {"\\\\", "\"\\\\\\\\\\"},      // five backslashes
    {" tail \t", "\" tail \t\""},  // blanks at the ends are kept
    {"\x95\\", "\"\x95\\\""},      // the backslash is the second byte of a character
    {"a\x81", "\"a\x81"},          // a lone lead byte must end the line
    {"\0#,:"s, "\"\0#,:\""s},
    {"\x1a", ""},
    {"\x81\n", ""},
    {"\x81\r", ""},
};

TEST(EncodeReplyValue, WritesValuesThatReadBackTheSame) {
  for (const EncodeCase& row : kEncodeCases) {
    std::string value;
    bool encoded = encode_reply_value(row.reply, value);
    EXPECT_EQ(encoded, !row.value.empty()) << row.value;
    if (!encoded) continue;
    EXPECT_EQ(value, row.value);
    EXPECT_EQ(read_back(value), row.reply) << value;
  }
}

// Every reply of up to four characters from the bytes with a meaning to the
// reader reads back as itself, or is refused for a reason it names.
TEST(EncodeReplyValue, EveryShortReplyOfSpecialBytes) {
  const std::string alphabet = "a\\\"\n\r\t \0\x81n"s;
  std::vector<std::string> replies = {""};
  for (std::size_t from = 0, length = 0; length < 4; ++length) {
    std::size_t to = replies.size();
    for (std::size_t index = from; index < to; ++index) {
      for (char byte : alphabet) replies.push_back(replies[index] + byte);
    }
    from = to;
  }
  for (const std::string& reply : replies) {
    std::string value;
    // A lead byte takes the byte after it, so only a lead byte that starts a
    // character counts: count them from the front.
    bool refusable = false;
    for (std::size_t at = 0; at < reply.size(); ++at) {
      if (reply[at] != '\x81') continue;
      if (at + 1 < reply.size() && (reply[at + 1] == '\n' || reply[at + 1] == '\r')) {
        refusable = true;
      }
      ++at;
    }
    if (!encode_reply_value(reply, value)) {
      EXPECT_TRUE(refusable) << testing::PrintToString(reply);
      continue;
    }
    EXPECT_EQ(value.find_first_of("\n\r\x1a"), std::string::npos) << value;
    EXPECT_EQ(read_back(value), reply) << testing::PrintToString(value);
  }
}

struct EditCase {
  std::string file;
  std::vector<ReplyEdit> edits;
  std::string result;
  std::vector<std::size_t> refused;
};

const EditCase kEditCases[] = {
    // The key, the colon and the blanks after it stay; so does the line end.
    {"request: a\r\nreply:  old\r\nname: n\r\n",
     {{2, false, "\"new\""}},
     "request: a\r\nreply:  \"new\"\r\nname: n\r\n",
     {}},
    {"request: a\r\n\r\nrequest: b\n",
     {{1, true, "\"x\""}, {3, true, "\"y\""}},
     "request: a\r\nreply: \"x\"\r\n\r\nrequest: b\nreply: \"y\"\n",
     {}},
    // A last line without its line feed gets one before the new line.
    {"request: a", {{1, true, "\"x\""}}, "request: a\nreply: \"x\"", {}},
    {"reply:", {{1, false, "\"x\""}}, "reply:\"x\"", {}},
    // From the line holding 0x1A on the reader saw nothing; past the end
    // there is nothing.
    {"request: a\nreply: b\x1a\nreply: c\n",
     {{2, false, "\"x\""}, {3, false, "\"y\""}, {9, true, "\"z\""}},
     "request: a\nreply: b\x1a\nreply: c\n",
     {2, 3, 9}},
};

TEST(ApplyReplyEdits, ChangesOnlyTheReplies) {
  for (const EditCase& row : kEditCases) {
    std::vector<std::size_t> refused;
    EXPECT_EQ(apply_reply_edits(row.file, row.edits, refused), row.result);
    EXPECT_EQ(refused, row.refused) << row.file;
  }
}

}  // namespace
