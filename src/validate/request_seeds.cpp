#include "validate/request_seeds.h"

#include <algorithm>
#include <iostream>

#include "check/cases_file.h"
#include "check/cases_update.h"
#include "settings/settings_reader.h"

using namespace std::string_literals;

const std::vector<BuiltInSeed>& built_in_seeds() {
  static const std::vector<BuiltInSeed> seeds = {
      {"empty", ""},
      {"one byte", "a"},
      {"a word", "hello"},
      {"a line with a line feed", "GET Version\n"},
      {"CR LF lines", "GET Version\r\nCharset: UTF-8\r\n\r\n"},
      {"text with no line feed", "Charset: UTF-8"},
      {"tabs and commas", "a\tb,c\t,d,,\t"},
      {"two-byte text", "\x82\xa0\x82\xa2\x82\xa4"},
      {"a lone lead byte last", "ab\x82"},
      {"a NUL inside", "ab\0cd"s},
      {"0x1A",
       "ab\x1a"
       "cd"},
      {"0xFF bytes", "\xff\xff\xff\xff"},
  };
  return seeds;
}

namespace {

void add_once(std::vector<std::string>& seeds, std::string seed) {
  if (std::find(seeds.begin(), seeds.end(), seed) == seeds.end()) seeds.push_back(std::move(seed));
}

}  // namespace

SeedsResult gather_seeds(const std::string& directory, const std::string& cases_path,
                         std::vector<std::string>& seeds, std::vector<std::string>& errors) {
  seeds.clear();
  SettingsStore store;
  SettingsReader reader;
  // Standard output is the report's: the reader's word that test.ini is
  // missing is a plain run's business, and only the request is wanted.
  std::streambuf* report = std::cout.rdbuf(nullptr);
  reader.read_settings(store, directory);
  std::cout.rdbuf(report);
  std::cout.clear();
  auto found = store.values.find(std::string(kRequestKey));
  if (found != store.values.end()) add_once(seeds, found->second);
  if (!cases_path.empty()) {
    CasesFile file;
    CasesFileResult result = read_cases_file(cases_path, file, errors);
    if (result == kCasesFileUnreadable) return kSeedsFileUnreadable;
    if (result == kCasesFileBad) return kSeedsFileBad;
    for (const CheckCase& check_case : file.cases) {
      add_once(seeds, std::string(file.view(check_case, check_case.request)));
    }
  }
  for (const BuiltInSeed& seed : built_in_seeds()) add_once(seeds, seed.bytes);
  return kSeedsGathered;
}

std::string long_request(const std::vector<std::string>& all_seeds, std::size_t length,
                         bool without_nul) {
  // Only seeds that a cases file can hold with a line feed after them, so
  // that a long request that faults can be kept as a reproducer.
  std::vector<std::string> seeds;
  std::string value;
  for (const std::string& seed : all_seeds) {
    if (without_nul && seed.find('\0') != std::string::npos) continue;
    if (!seed.empty() && encode_reply_value(seed + "\n", value)) seeds.push_back(seed);
  }
  std::string request;
  request.reserve(length + 64);
  while (request.size() < length) {
    if (seeds.empty()) {
      request.append(length - request.size(), 'a');
      break;
    }
    for (const std::string& seed : seeds) {
      request += seed;
      request += '\n';
      if (request.size() >= length) break;
    }
  }
  request.resize(length);
  return request;
}

std::string grown_value_request(const std::vector<std::string>& seeds, std::size_t length) {
  std::string value;
  for (const std::string& seed : seeds) {
    // The value of the first "Key: value" line after the seed's first
    // line: what a module that reads a request of lines keeps, and may keep
    // in a buffer of fixed size.
    std::size_t first_end = seed.find('\n');
    if (first_end == std::string::npos) continue;
    std::size_t line = first_end + 1;
    std::size_t end = seed.find('\n', line);
    if (end == std::string::npos) continue;
    std::size_t colon = seed.find(':', line);
    if (colon == std::string::npos || colon >= end || colon == line) continue;
    std::size_t start = colon + 1;
    if (start < end && seed[start] == ' ') ++start;
    std::size_t stop = end > start && seed[end - 1] == '\r' ? end - 1 : end;
    std::size_t kept = seed.size() - (stop - start);
    if (kept >= length || !encode_reply_value(seed, value)) continue;
    std::string request = seed.substr(0, start);
    request.append(length - kept, 'a');
    request.append(seed, stop, std::string::npos);
    return request;
  }
  return "";
}
