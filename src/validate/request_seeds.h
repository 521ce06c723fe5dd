#pragma once

// The requests the validator starts from: the request of test.ini, those
// of a cases file, and the built-in ones that modules most often trip over.

#include <string>
#include <vector>

// Each with a name for the report.
struct BuiltInSeed {
  const char* name;
  std::string bytes;
};
const std::vector<BuiltInSeed>& built_in_seeds();

// test.ini's `string` in `directory` (when it has one), every request: of
// the cases file at `cases_path` (when given), then the built-in seeds; no
// request twice. When the cases file does not open or is wrong, `errors`
// holds a line for each problem, as read_cases_file gives them.
enum SeedsResult { kSeedsGathered, kSeedsFileUnreadable, kSeedsFileBad };
SeedsResult gather_seeds(const std::string& directory, const std::string& cases_path,
                         std::vector<std::string>& seeds, std::vector<std::string>& errors);

// A request of `length` bytes made of the seeds, one after another, with a
// line feed between them, cut to the length. Seeds a cases file cannot hold
// are left out, and `without_nul` leaves out those with a NUL: a module
// that reads the request as a C string then sees all of it.
std::string long_request(const std::vector<std::string>& seeds, std::size_t length,
                         bool without_nul = false);

// The first seed made of lines, a first line and then "Key: value" lines,
// with the first such value grown so that the request is `length` bytes;
// empty when no seed is of that shape.
std::string grown_value_request(const std::vector<std::string>& seeds, std::size_t length);
