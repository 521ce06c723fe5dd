#pragma once

// Results in the JUnit XML that CI systems read: one suite per module (or
// per group the caller names), one case per check.

#include <string>
#include <vector>

enum class JUnitOutcome { kPassed, kFailed, kSkipped };

struct JUnitCase {
  std::string name;
  JUnitOutcome outcome;
  double seconds;
  // For a failure or a skip: the one line, and for a failure what the module
  // did, which may be any bytes (a reply with NULs, lone lead bytes).
  std::string message;
  std::string details;
};

struct JUnitSuite {
  std::string name;
  std::vector<JUnitCase> cases;
};

class JUnitReport {
 public:
  // Adds one check's result to `suite`, made at its first result. Suites and
  // their cases keep the order they came in.
  void add(const std::string& suite, const std::string& name, JUnitOutcome outcome, double seconds,
           const std::string& message = std::string(), const std::string& details = std::string());
  const std::vector<JUnitSuite>& suites() const { return suites_; }

 private:
  std::vector<JUnitSuite> suites_;
};

// The whole report as a well-formed UTF-8 XML file, whatever the bytes of
// its names and messages: bytes XML cannot hold are written as \xNN and a
// backslash as \\, so that the text still says exactly what they were.
std::string junit_xml(const JUnitReport& report);

// Writes junit_xml(report) beside `path` and renames it over, so that a
// failed write leaves no half file there. Returns false with `error` set
// when the file could not be written: a line naming `path` and the
// system's reason.
bool write_junit_file(const JUnitReport& report, const std::string& path, std::string& error);
