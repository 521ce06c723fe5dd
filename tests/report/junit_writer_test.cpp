#include "report/junit_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

using namespace std::string_literals;

TEST(JUnitWriterTest, AnyBytesAreWrittenReadably) {
  const struct {
    std::string bytes;
    std::string in_attribute;
    std::string in_text;  // when it differs
  } cases[] = {
      {"a&b<c>d\"e'f", "a&amp;b&lt;c&gt;d&quot;e&apos;f", ""},
      {"]]>", "]]&gt;", ""},
      {"back\\slash \\x41", "back\\\\slash \\\\x41", ""},
      {"nul\0x\x1A\x7F\x01"s, "nul\\x00x\\x1A\\x7F\\x01", ""},
      {"tab\tlf\ncr\r", "tab&#9;lf&#10;cr&#13;", "tab\tlf\ncr&#13;"},
      {"lone lead\x82", "lone lead\\x82", ""},
      {"\x82\xA0\x9F\x40 \xE0\xFC\xFF", "\\x82\\xA0\\x9F@ \\xE0\\xFC\\xFF", ""},
      {"caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80",
       ""},
      {"\xC0\xAF \xED\xA0\x80 \xEF\xBF\xBE \xF4\x90\x80\x80 \xE2\x82",
       "\\xC0\\xAF \\xED\\xA0\\x80 \\xEF\\xBF\\xBE \\xF4\\x90\\x80\\x80 \\xE2\\x82", ""},
      // Overlong: U+07FF in three bytes, U+1000 in four.
      {"\xE0\x9F\xBF \xF0\x81\x80\x80", "\\xE0\\x9F\\xBF \\xF0\\x81\\x80\\x80", ""},
  };
  // '@' stands for the bytes as an attribute, '#' for them as text.
  const std::string expected =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<testsuites tests=\"1\" failures=\"1\" skipped=\"0\" time=\"0.002\">\n"
      "  <testsuite name=\"@\" tests=\"1\" failures=\"1\" skipped=\"0\" time=\"0.002\">\n"
      "    <testcase classname=\"@\" name=\"@\" time=\"0.002\">\n"
      "      <failure message=\"@\">#</failure>\n"
      "    </testcase>\n"
      "  </testsuite>\n"
      "</testsuites>\n";
  for (const auto& c : cases) {
    JUnitReport report;
    report.add(c.bytes, c.bytes, JUnitOutcome::kFailed, 0.0016, c.bytes, c.bytes);
    std::string xml;
    for (char byte : expected) {
      xml += byte == '@'   ? c.in_attribute
             : byte == '#' ? (c.in_text.empty() ? c.in_attribute : c.in_text)
                           : std::string(1, byte);
    }
    EXPECT_EQ(junit_xml(report), xml) << c.bytes;
  }
}

// Tags balance and every '&' starts a reference; returns the first fault.
std::string structure_fault(const std::string& xml, std::vector<std::string>& opened) {
  std::vector<std::string> open;
  for (std::size_t at = xml.find('<'); at != std::string::npos; at = xml.find('<', at)) {
    std::size_t end = xml.find('>', at);
    if (end == std::string::npos) return "unclosed tag at " + std::to_string(at);
    std::string tag = xml.substr(at + 1, end - at - 1);
    std::string name = tag.substr(0, tag.find_first_of(" /"));
    if (tag[0] == '/') {
      if (open.empty() || open.back() != tag.substr(1)) return "stray " + tag;
      open.pop_back();
    } else if (tag[0] != '?') {
      opened.push_back(name);
      if (tag.back() != '/') open.push_back(name);
    }
    at = end;
  }
  for (std::size_t at = xml.find('&'); at != std::string::npos; at = xml.find('&', at + 1)) {
    std::size_t semicolon = xml.find(';', at);
    std::string ref = xml.substr(at, semicolon - at + 1);
    if (ref != "&amp;" && ref != "&lt;" && ref != "&gt;" && ref != "&quot;" && ref != "&apos;" &&
        ref != "&#9;" && ref != "&#10;" && ref != "&#13;") {
      return "bad reference " + ref;
    }
  }
  for (unsigned char byte : xml) {
    if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte >= 0x7F) return "raw byte";
  }
  return open.empty() ? "" : "unclosed " + open.back();
}

TEST(JUnitWriterTest, AReportWithEveryOutcomeIsAWellFormedFile) {
  const std::string awkward = "<reply>\0\r\n\x82</testcase>&\"\xFF"s;
  JUnitReport report;
  report.add("first.dll", "loads", JUnitOutcome::kPassed, 0.25);
  report.add("second.so", "answers" + awkward, JUnitOutcome::kFailed, NAN, awkward, awkward);
  report.add("first.dll", "unloads", JUnitOutcome::kSkipped, -1, awkward);
  report.add("first.dll", "fuzz", JUnitOutcome::kFailed, 12.3456, awkward);
  TempFolder folder;
  std::string path = (folder.path() / "report.xml").string(), error;
  ASSERT_TRUE(write_junit_file(report, path, error)) << error;
  std::stringstream written;
  written << std::ifstream(path, std::ios::binary).rdbuf();
  EXPECT_EQ(written.str(), junit_xml(report));

  std::vector<std::string> opened;
  EXPECT_EQ(structure_fault(written.str(), opened), "");
  EXPECT_EQ(opened,
            (std::vector<std::string>{"testsuites", "testsuite", "testcase", "testcase", "skipped",
                                      "testcase", "failure", "testsuite", "testcase", "failure"}));
  EXPECT_NE(written.str().find("<testsuites tests=\"4\" failures=\"2\" skipped=\"1\" "
                               "time=\"12.596\">\n  <testsuite name=\"first.dll\" tests=\"3\" "
                               "failures=\"1\" skipped=\"1\" time=\"12.596\">"),
            std::string::npos);
  if (std::system("command -v xmllint >/dev/null 2>&1") == 0) {
    EXPECT_EQ(std::system(("xmllint --noout '" + path + "'").c_str()), 0);
  }

  // A folder that is not there, and a folder in the file's place: nothing
  // is left behind, and the caller hears why.
  std::filesystem::create_directory(folder.path() / "taken");
  const std::pair<std::string, int> kUnwritable[] = {{"none/report.xml", ENOENT},
                                                     {"taken", EISDIR}};
  for (const auto& [name, reason] : kUnwritable) {
    std::string unwritable = (folder.path() / name).string();
    EXPECT_FALSE(write_junit_file(report, unwritable, error));
    EXPECT_EQ(error, "cannot write the JUnit report " + unwritable + ": " + std::strerror(reason));
  }
  std::vector<std::filesystem::path> left;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path())) {
    left.push_back(entry.path().filename());
  }
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::filesystem::path>{"report.xml", "taken"}));
}

}  // namespace
