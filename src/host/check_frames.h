#pragma once

// The payloads of the validator's orders to the module host and of their
// answers. Numbers are eight bytes, least significant first; byte strings
// are a four-byte length and the bytes. Each decoder returns false for a
// payload that is not of its kind.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Sends `request` in a block `padding` bytes longer than the module is told:
// `padding - 1` bytes of `fill`, then a NUL.
struct PaddedRequestOrder {
  std::string module;
  std::string request;
  char fill = 0;
  std::uint64_t padding = 0;
};

// Mutates the seeds and sends each result, for at most `milliseconds` and
// `most_requests` requests; stops at the first contract warning. `words`
// are the dictionary the mutations put in; a request equal to one of
// `avoid`, known to fault, is not sent.
struct FuzzOrder {
  std::string module;
  std::uint64_t seed = 0;
  std::uint64_t milliseconds = 0;
  std::uint64_t most_requests = 0;
  std::uint64_t max_length = 0;
  std::vector<std::string> seeds;
  std::vector<std::string> words;
  std::vector<std::string> avoid;
};
struct FuzzResult {
  std::uint64_t requests = 0;
  std::uint64_t milliseconds = 0;
  bool warned = false;
  std::string warned_request;  // the request the first warning came after
  // Whether the module reports its coverage (include/modtest/coverage.c),
  // and how many edges the loop saw reached.
  bool coverage = false;
  std::uint64_t edges = 0;
};

// A request a fuzz loop kept for reaching new coverage, and the edges seen
// reached by then.
struct CorpusEntry {
  std::uint64_t edges = 0;
  std::string request;
  // False for the client's record of a CoverageNote: edges, no request.
  bool kept = true;
};

// Sends `request` again and again, for at most `milliseconds` and `count`
// times, after `warm_up` sends that are not measured; says how the memory
// in use moved meanwhile.
struct RepeatOrder {
  std::string module;
  std::string request;
  std::uint64_t count = 0;
  std::uint64_t milliseconds = 0;
  std::uint64_t warm_up = 0;
};
struct RepeatResult {
  std::uint64_t requests = 0;
  std::uint64_t milliseconds = 0;
  std::uint64_t before = 0;
  std::uint64_t after = 0;
  std::string source;  // what was measured, such as "heap in use"
};

// What a fault that ended the host was, and where: the signal or exception
// code, the faulting instruction's place (code_place.h; empty when no
// loaded file holds it) and the address an invalid access touched. Laid out
// as the code, the data address and the loop's requests, eight bytes each,
// a byte of flags (1: the data address is known), then the place's text,
// and after a NUL the guarded heap's words: a fault handler writes it with
// no allocation.
struct FaultReport {
  std::uint64_t code = 0;
  std::uint64_t data_address = 0;
  bool has_data_address = false;
  // Requests a loop had sent when the fault ended it, this one included.
  std::uint64_t loop_requests = 0;
  std::string place;
  // What the fault was in the guarded heap's terms; empty when it was not
  // one of its faults.
  std::string guard_words;
};
constexpr std::size_t kFaultReportFixedBytes = 25;

std::string encode(const PaddedRequestOrder& order);
bool decode(std::string_view payload, PaddedRequestOrder& order);
std::string encode(const FuzzOrder& order);
bool decode(std::string_view payload, FuzzOrder& order);
std::string encode(const FuzzResult& result);
bool decode(std::string_view payload, FuzzResult& result);
// A module's coverage as a fuzz loop told it before any request it kept.
struct CoverageNote {
  std::uint64_t edges = 0;
};

std::string encode(const CorpusEntry& entry);
bool decode(std::string_view payload, CorpusEntry& entry);
std::string encode(const CoverageNote& note);
bool decode(std::string_view payload, CoverageNote& note);
std::string encode(const RepeatOrder& order);
bool decode(std::string_view payload, RepeatOrder& order);
std::string encode(const RepeatResult& result);
bool decode(std::string_view payload, RepeatResult& result);
std::string encode(const FaultReport& report);
bool decode(std::string_view payload, FaultReport& report);
