#pragma once

// The cases file of the check mode: cases separated by empty lines, each a
// few "key: value" lines. Lines are read like the settings file and values
// with the settings line parser, to the end of the line (commas are plain
// text) and keeping what quotes and escapes give at their end.

#include <cstddef>
#include <string>
#include <vector>

struct CheckCase {
  std::size_t line = 0;          // where the case starts
  std::size_t request_line = 0;  // the request: line
  std::size_t reply_line = 0;    // the reply: line; 0 when there is none
  std::string module;            // given, or taken from the case before
  std::string request;
  std::string reply;
  bool has_reply = false;
  unsigned long repeat = 1;
  bool has_repeat = false;
  std::string name;  // empty when none was given
};

// The most a repeat: may ask for.
constexpr unsigned long kMostRepeats = 1000000000;

enum CasesFileResult { kCasesRead, kCasesFileUnreadable, kCasesFileBad };

// Reads the cases of the file at `path`. On kCasesFileBad `errors` holds one
// line per problem, "PATH:LINE: what" (no line feed), and `cases` is to be
// ignored; the file is read to its end so that every problem is named.
CasesFileResult read_cases_file(const std::string& path, std::vector<CheckCase>& cases,
                                std::vector<std::string>& errors);

// The value of a "repeat:" line: a whole number from 1 to kMostRepeats,
// digits only; 0 for anything else.
unsigned long parse_repeat_count(const std::string& text);
