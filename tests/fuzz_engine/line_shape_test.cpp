#include "fuzz_engine/line_shape.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string text_of(const std::string& request, TextSpan span) {
  return request.substr(span.begin, span.size);
}

TEST(LineShapeTest, FindsLinesKeysValuesAndLineEnds) {
  const struct {
    const char* name;
    std::string request;
    bool shaped, crlf, closed;
    std::string first;
    // "key=value" for each line after the first.
    std::vector<std::string> pairs;
    std::string closing;
  } cases[] = {
      {"LF",
       "CMD THING 1.0\nCharset: UTF-8\nSender:x\n\n",
       true,
       false,
       true,
       "CMD THING 1.0",
       {"Charset=UTF-8", "Sender=x"},
       "\n"},
      {"CR LF, body after",
       "CMD THING 1.0\r\nArgument0: hello\r\n\r\nbody",
       true,
       true,
       true,
       "CMD THING 1.0",
       {"Argument0=hello"},
       "\r\n"},
      {"no closing empty line",
       "CMD 1.0\r\nKey: v\r\n",
       true,
       true,
       false,
       "CMD 1.0",
       {"Key=v"},
       ""},
      {"one line only, closed", "CMD 1.0\r\n\r\n", true, true, true, "CMD 1.0", {}, "\r\n"},
      {"key with no value, line with no colon",
       "CMD\nKey:\nOther: \t\nbare\n\n",
       true,
       false,
       true,
       "CMD",
       {"Key=", "Other=", "bare="},
       "\n"},
      {"lone CR stays in its line",
       "CMD: 1.0\r\nKey: a\rb\r\n\r\n",
       true,
       true,
       true,
       "CMD: 1.0",
       {"Key=a\rb"},
       "\r\n"},
      {"first line's end decides", "CMD\nKey: v\r\n\n", true, false, true, "CMD", {"Key=v"}, "\n"},
      {"one line only, open", "CMD 1.0\r\n", false, true, false, "CMD 1.0", {}, ""},
      {"no colon, no closing",
       "name,value\r\nmore\r\n",
       false,
       true,
       false,
       "name,value",
       {"more="},
       ""},
      {"no line end", "Charset: UTF-8", false, false, false, "", {}, ""},
      {"empty first line", "\r\nKey: v\r\n\r\n", false, false, false, "", {}, ""},
  };
  LineShape shape;
  for (const auto& c : cases) {
    EXPECT_EQ(find_line_shape(c.request, shape), c.shaped) << c.name;
    EXPECT_EQ(shape.shaped, c.shaped) << c.name;
    EXPECT_EQ(shape.closed, c.closed) << c.name;
    if (shape.lines.empty()) {
      EXPECT_EQ(c.first, "") << c.name;
      continue;
    }
    EXPECT_EQ(shape.crlf, c.crlf) << c.name;
    EXPECT_EQ(text_of(c.request, shape.lines[0].text), c.first) << c.name;
    std::vector<std::string> pairs;
    for (std::size_t i = 1; i < shape.lines.size(); ++i) {
      const ShapedLine& line = shape.lines[i];
      // Lines follow each other with nothing between them.
      EXPECT_EQ(shape.lines[i - 1].next(), line.text.begin) << c.name;
      pairs.push_back(text_of(c.request, line.key) + "=" + text_of(c.request, line.value));
    }
    EXPECT_EQ(pairs, c.pairs) << c.name;
    EXPECT_EQ(shape.lines.back().next(), shape.closing.begin) << c.name;
    EXPECT_EQ(text_of(c.request, shape.closing), c.closing) << c.name;
  }
}

}  // namespace
