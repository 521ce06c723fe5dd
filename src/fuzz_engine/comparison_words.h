#pragma once

// The operands of a module's comparisons as dictionary words: what a
// module compares the request against is what the request should hold. An
// integer gives its decimal and hexadecimal text and its bytes, least
// significant first; a string is a word as it is.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_engine/coverage_view.h"

// The words of an integer operand `size` bytes wide: decimal (and signed
// decimal when its top bit is set), "0x" and hexadecimal, and its bytes
// up to the highest that is not zero.
// Below 256 only the decimal text: a single byte is a character a request
// holds already, more likely than a word.
std::vector<std::string> integer_words(std::uint64_t value, unsigned size);

class ComparisonWords {
 public:
  // Learned words past this many are dropped: the first ones are those of
  // the comparisons nearest the request's start.
  static constexpr std::size_t kMostWords = 1024;

  // `known`: words the dictionary holds already.
  ComparisonWords(CoverageView* view, const std::vector<std::string>& known);

  // Appends to `words` the words of the operands written since the last
  // call that it holds not yet. Of two integers that are both variables,
  // one is taken only when `request`, which the module was just sent,
  // holds the other's text or bytes: it was compared with the request, not
  // an address with an address. Returns how many were added.
  std::size_t take(std::vector<std::string>& words, const std::string& request);

 private:
  void add(std::string word, std::vector<std::string>& words, std::size_t& added);

  CoverageView* view_;
  unsigned long read_ = 0;
  std::size_t learned_ = 0;
  std::set<std::string> held_;
};
