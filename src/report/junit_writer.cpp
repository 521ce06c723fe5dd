#include "report/junit_writer.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/files.h"

namespace {

// The length of the well-formed UTF-8 sequence at `bytes` if it encodes a
// character XML 1.0 can hold outside ASCII, else 0.
std::size_t xml_character_length(const unsigned char* bytes, std::size_t left) {
  unsigned char lead = bytes[0];
  std::size_t length;
  std::uint32_t code;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, code = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, code = lead & 0x07;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((bytes[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (bytes[i] & 0x3F);
  }
  static const std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  bool overlong = code < kSmallest[length];
  bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  bool not_a_character = code == 0xFFFE || code == 0xFFFF || code > 0x10FFFF;
  return overlong || surrogate || not_a_character ? 0 : length;
}

void append_hex_byte(std::string& out, unsigned char byte) {
  static const char kDigits[] = "0123456789ABCDEF";
  out += "\\x";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

// A parser would turn a literal carriage return into a line feed, and in an
// attribute value a tab or line feed into a space, so those go as references.
constexpr struct {
  unsigned char byte;
  const char* in_text;
  const char* in_attribute;
} kAsciiReplacements[] = {
    {'&', "&amp;", "&amp;"},   {'<', "&lt;", "&lt;"},      {'>', "&gt;", "&gt;"},
    {'"', "&quot;", "&quot;"}, {'\'', "&apos;", "&apos;"}, {'\\', "\\\\", "\\\\"},
    {'\r', "&#13;", "&#13;"},  {'\t', "\t", "&#9;"},       {'\n', "\n", "&#10;"},
};

// `text` as character data, or as an attribute value.
std::string escaped(const std::string& text, bool attribute) {
  std::string out;
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t at = 0; at < text.size();) {
    unsigned char byte = bytes[at];
    if (byte >= 0x80) {
      std::size_t length = xml_character_length(bytes + at, text.size() - at);
      if (length == 0) {
        append_hex_byte(out, byte);
        ++at;
      } else {
        out.append(text, at, length);
        at += length;
      }
      continue;
    }
    ++at;
    const char* replacement = nullptr;
    for (const auto& entry : kAsciiReplacements) {
      if (entry.byte == byte) replacement = attribute ? entry.in_attribute : entry.in_text;
    }
    if (replacement != nullptr) {
      out += replacement;
    } else if (byte < 0x20 || byte == 0x7F) {
      append_hex_byte(out, byte);
    } else {
      out += static_cast<char>(byte);
    }
  }
  return out;
}

// Whole milliseconds, so that a suite's time is the sum of the times shown
// for its cases; written by hand, since printf follows the locale.
std::uint64_t milliseconds(double seconds) {
  if (!(seconds > 0)) return 0;  // NaN too
  if (seconds > 1e9) seconds = 1e9;
  return static_cast<std::uint64_t>(seconds * 1000 + 0.5);
}

std::string time_text(std::uint64_t ms) {
  std::string fraction = std::to_string(ms % 1000);
  return std::to_string(ms / 1000) + "." + std::string(3 - fraction.size(), '0') + fraction;
}

struct Counts {
  std::size_t tests = 0, failures = 0, skipped = 0;
  std::uint64_t ms = 0;
};

Counts count(const JUnitSuite& suite) {
  Counts counts;
  for (const JUnitCase& c : suite.cases) {
    ++counts.tests;
    counts.failures += c.outcome == JUnitOutcome::kFailed;
    counts.skipped += c.outcome == JUnitOutcome::kSkipped;
    counts.ms += milliseconds(c.seconds);
  }
  return counts;
}

std::string count_attributes(const Counts& counts) {
  return " tests=\"" + std::to_string(counts.tests) + "\" failures=\"" +
         std::to_string(counts.failures) + "\" skipped=\"" + std::to_string(counts.skipped) +
         "\" time=\"" + time_text(counts.ms) + "\"";
}

void append_case(std::string& out, const std::string& suite, const JUnitCase& c) {
  out += "    <testcase classname=\"" + escaped(suite, true) + "\" name=\"" +
         escaped(c.name, true) + "\" time=\"" + time_text(milliseconds(c.seconds)) + "\"";
  if (c.outcome == JUnitOutcome::kPassed) {
    out += "/>\n";
    return;
  }
  const char* tag = c.outcome == JUnitOutcome::kFailed ? "failure" : "skipped";
  out += ">\n      <" + std::string(tag) + " message=\"" + escaped(c.message, true) + "\"";
  if (c.details.empty()) {
    out += "/>\n";
  } else {
    out += ">" + escaped(c.details, false) + "</" + tag + ">\n";
  }
  out += "    </testcase>\n";
}

}  // namespace

void JUnitReport::add(const std::string& suite, const std::string& name, JUnitOutcome outcome,
                      double seconds, const std::string& message, const std::string& details) {
  JUnitSuite* target = nullptr;
  for (JUnitSuite& existing : suites_) {
    if (existing.name == suite) target = &existing;
  }
  if (target == nullptr) {
    suites_.push_back(JUnitSuite{suite, {}});
    target = &suites_.back();
  }
  target->cases.push_back(JUnitCase{name, outcome, seconds, message, details});
}

std::string junit_xml(const JUnitReport& report) {
  Counts total;
  std::string suites;
  for (const JUnitSuite& suite : report.suites()) {
    Counts counts = count(suite);
    total.tests += counts.tests;
    total.failures += counts.failures;
    total.skipped += counts.skipped;
    total.ms += counts.ms;
    suites += "  <testsuite name=\"" + escaped(suite.name, true) + "\"" + count_attributes(counts) +
              ">\n";
    for (const JUnitCase& c : suite.cases) append_case(suites, suite.name, c);
    suites += "  </testsuite>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites" + count_attributes(total) +
         ">\n" + suites + "</testsuites>\n";
}

bool write_junit_file(const JUnitReport& report, const std::string& path, std::string& error) {
  std::string xml = junit_xml(report);
  std::string temporary = path + ".modtest-partial";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  bool written = out != nullptr && std::fwrite(xml.data(), 1, xml.size(), out) == xml.size();
  // Taken at once: closing and removing may change it.
  int reason = errno;
  if (out != nullptr && std::fclose(out) != 0 && written) {
    written = false;
    reason = errno;
  }
  if (written && !replace_file(temporary.c_str(), path.c_str())) {
    written = false;
    reason = errno;
  }
  if (!written) {
    if (out != nullptr) std::remove(temporary.c_str());
    error = "cannot write the JUnit report " + path + ": " + std::strerror(reason);
    return false;
  }
  return true;
}
