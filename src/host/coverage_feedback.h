#pragma once

// The fuzz loop's use of a module built with include/modtest/coverage.c:
// each request that reaches new edges is kept to mutate from and sent to
// the validator in a frame of its own, before the loop's answer, so that a
// later fault in the same host loses none; the operands of the module's
// comparisons become dictionary words. A module without the export has
// none of it.

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_engine/comparison_words.h"
#include "fuzz_engine/corpus.h"
#include "fuzz_engine/coverage_map.h"
#include "modules/module_record.h"

class CoverageFeedback {
 public:
  // The longest request kept.
  static constexpr std::size_t kLongestKept = 1024;

  // `words` is the loop's dictionary, which learned words are added to.
  CoverageFeedback(ModuleRecord* record, const std::vector<std::string>& seeds,
                   std::vector<std::string>& words);
  bool active() const { return map_.active(); }

  // Reads what the request just sent reached. With `keep`, a request that
  // reached new edges is kept and its frame appended to `frames`; with
  // `learn` (and always for a kept one) its comparisons' operands are
  // added to the dictionary. Returns whether words were added.
  bool after_request(const std::string& request, bool keep, bool learn, std::string& frames);

  // Appends the frame that tells the module has coverage, and what the
  // seeds reached: so the validator knows it even when every loop ends in
  // a fault before it keeps a request.
  void note_seeds_sent(std::string& frames) const;

  const std::vector<std::string>& requests() const { return corpus_.requests(); }
  std::uint64_t edges() const { return map_.edges(); }

 private:
  CoverageFeedback(CoverageView* view, const std::vector<std::string>& seeds,
                   std::vector<std::string>& words);

  CoverageMap map_;
  ComparisonWords words_;
  Corpus corpus_;
  std::vector<std::string>& dictionary_;
};
