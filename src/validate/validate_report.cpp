#include "validate/validate_report.h"

#include <cstdio>

#include "report/report_buffer.h"
#include "report/tap_text.h"

namespace {

// The YAML block's fields as text, for the JUnit file's details.
std::string fields_text(const CheckResult& result) {
  std::string text;
  for (const CheckResult::Field& field : result.fields) {
    text += field.key + ": " + field.value + "\n";
  }
  if (!result.list.empty()) text += result.list_key + ":\n";
  for (const std::vector<CheckResult::Field>& item : result.list) {
    const char* lead = "- ";
    for (const CheckResult::Field& field : item) {
      text += lead + field.key + ": " + field.value + "\n";
      lead = "  ";
    }
  }
  return text;
}

void report_field(const char* indent, const CheckResult::Field& field) {
  report_text(indent);
  report_text(field.key.c_str());
  report_text(": ");
  if (field.quoted) {
    report_quoted(field.value.data(), field.value.size());
  } else {
    report_text(field.value.c_str());
  }
  report_text("\n");
}

}  // namespace

void start_validate_report(std::size_t checks) {
  report_text("TAP version 13\n1..");
  report_number(checks);
  report_text("\n");
  report_flush();
}

void report_check(std::size_t number, const std::string& module, const char* check,
                  const CheckResult& result) {
  report_text(result.outcome == CheckResult::kFinding ? "not ok " : "ok ");
  report_number(number);
  report_text(" - ");
  std::string name = module + ": " + check;
  report_description(name.data(), name.size(), name.size());
  if (result.outcome == CheckResult::kSkipped) {
    report_text(" # SKIP ");
    report_description(result.message.data(), result.message.size(), result.message.size());
  }
  report_text("\n  ---\n");
  if (result.outcome == CheckResult::kFinding) {
    report_text("  message: ");
    report_quoted(result.message.data(), result.message.size());
    report_text("\n");
  }
  for (const CheckResult::Field& field : result.fields) report_field("  ", field);
  if (!result.list.empty()) {
    report_text("  ");
    report_text(result.list_key.c_str());
    report_text(":\n");
  }
  for (const std::vector<CheckResult::Field>& item : result.list) {
    const char* indent = "    - ";
    for (const CheckResult::Field& field : item) {
      report_field(indent, field);
      indent = "      ";
    }
  }
  report_text("  check_seconds: ");
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.3f", result.seconds);
  report_text(seconds);
  report_text("\n  ...\n");
  report_flush();
}

void end_validate_report(std::size_t checks, std::size_t findings, std::size_t skipped) {
  report_text("# ");
  report_number(checks);
  report_text(" checks, ");
  report_number(findings);
  report_text(findings == 1 ? " finding, " : " findings, ");
  report_number(skipped);
  report_text(" skipped\n");
  report_flush();
}

void add_junit_result(JUnitReport& report, const std::string& module, const char* check,
                      const CheckResult& result) {
  JUnitOutcome outcome = result.outcome == CheckResult::kFinding   ? JUnitOutcome::kFailed
                         : result.outcome == CheckResult::kSkipped ? JUnitOutcome::kSkipped
                                                                   : JUnitOutcome::kPassed;
  report.add(module, check, outcome, result.seconds, result.message, fields_text(result));
}
