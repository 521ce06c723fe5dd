#pragma once

// The cases file of the check mode: cases separated by empty lines, each a
// few "key: value" lines. Lines are read like the settings file and values
// with the settings line parser, to the end of the line (commas are plain
// text) and keeping what quotes and escapes give at their end.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Where a value lies: its offset from the case's first value, its length.
struct CaseText {
  std::uint32_t offset = 0;
  std::uint32_t length = 0;
};

// One case. Kept small, as a file may hold millions: the values of a case
// lie one after another in CasesFile::text, a case and each of its line
// numbers fit in 32 bits (read_cases_file refuses more).
struct CheckCase {
  std::size_t text = 0;  // where the case's values start in CasesFile::text
  CaseText request;
  CaseText reply;
  CaseText name;                   // empty when none was given
  std::uint32_t line = 0;          // where the case starts
  std::uint32_t request_line = 0;  // the request: line
  std::uint32_t reply_line = 0;    // the reply: line; 0 when there is none
  std::uint32_t module = 0;        // in CasesFile::modules; given, or the case before's
  std::uint32_t repeat = 1;
  bool has_reply = false;
  bool has_repeat = false;
};

// A whole cases file: the cases, every module name once, and the values of
// all cases in one block, so that a file of many cases costs little more
// memory than its own size.
struct CasesFile {
  std::vector<CheckCase> cases;
  std::vector<std::string> modules;
  std::string text;

  std::string_view view(const CheckCase& check_case, CaseText where) const {
    return std::string_view(text).substr(check_case.text + where.offset, where.length);
  }
};

// The most a repeat: may ask for.
constexpr std::uint32_t kMostRepeats = 1000000000;

enum CasesFileResult { kCasesRead, kCasesFileUnreadable, kCasesFileBad };

// Reads the cases of the file at `path`. On kCasesFileBad `errors` holds one
// line per problem, "PATH:LINE: what" (no line feed), and `file` is to be
// ignored; the file is read to its end so that every problem is named. On
// kCasesFileUnreadable `errors` holds the one line that says why, with the
// folder a relative path was looked for in.
CasesFileResult read_cases_file(const std::string& path, CasesFile& file,
                                std::vector<std::string>& errors);

// The value of a "repeat:" line: a whole number from 1 to kMostRepeats,
// digits only; 0 for anything else.
std::uint32_t parse_repeat_count(const std::string& text);
