#include "settings/settings_line_parser.h"

#include <gtest/gtest.h>

#include <climits>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "settings/settings_reader.h"

using namespace std::string_literals;

namespace {

TEST(SettingsLineParser, TokenLeavesItsStopCharacterInTheText) {
  struct {
    std::string text;
    int mode;
    std::string token, rest;
    int result;
  } const rows[] = {{"  ab,cd", 1, "ab", ",cd", 1},
                    {"k:v", 0, "k", ":v", 1},
                    {"k:v", 7, "k:v", "", 1},
                    {"a,b:c\rd", 2, "a,b:c", "\rd", 1},
                    {"\"x\" \t\ny", 1, "x", "\ny", 1},
                    {" \t\n", 1, "", "\n", 0},
                    {"", 0, "", "", 0}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text) + " mode " + std::to_string(row.mode));
    std::string token = "stale";
    std::string_view text = row.text;
    EXPECT_EQ(next_settings_token(token, text, static_cast<SettingsTokenMode>(row.mode)),
              row.result);
    EXPECT_EQ(token, row.token);
    EXPECT_EQ(text, row.rest);
  }
}

// The exact value trims only blanks typed outside quotes; the same text as
// a plain token loses everything blank at its end.
TEST(SettingsLineParser, ExactValueKeepsWhatQuotesAndEscapesGave) {
  struct {
    std::string text;
    std::string exact, token;
  } const rows[] = {{" \"a \"  ", "a ", "a"},      {"a\\n", "a\n", "a"},
                    {"\"a\\\\n\"\t", "a\n", "a"},  {"a \t", "a", "a"},
                    {"\"\t\" x ", "\t x", "\t x"}, {" \t ", "", ""}};
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.text));
    std::string token;
    std::string_view text = row.text;
    EXPECT_EQ(next_settings_value_exact(token, text, SettingsTokenMode::kLine),
              row.exact.empty() ? 0 : 1);
    EXPECT_EQ(token, row.exact);
    EXPECT_TRUE(text.empty());
    text = row.text;
    next_settings_token(token, text, SettingsTokenMode::kLine);
    EXPECT_EQ(token, row.token);
  }
}

TEST(SettingsLineParser, TokenCharDelimitersPerMode) {
  const std::string values = "\0\n\r,"s;
  const struct {
    int mode;
    std::string stops;
  } rows[] = {{0, "\0\n\r,:"s}, {1, values}, {2, "\0\n\r"s},   {-1, values},
              {5, values},      {7, values}, {INT_MIN, values}};
  for (const auto& row : rows) {
    for (int byte = 0; byte < 256; ++byte) {
      bool stops = row.stops.find(static_cast<char>(byte)) != std::string::npos;
      EXPECT_EQ(is_settings_token_char(static_cast<unsigned char>(byte),
                                       static_cast<SettingsTokenMode>(row.mode)),
                stops ? 0 : 1)
          << "mode " << row.mode << " byte " << byte;
    }
  }
}

}  // namespace
