#include "host/coverage_feedback.h"

#include "host/check_frames.h"
#include "host/host_protocol.h"
#include "platform/library.h"

namespace {

CoverageView* find_coverage(ModuleRecord* record) {
  LibraryEntry entry = find_library_entry(record->library, "modtest_coverage");
  if (entry == nullptr) return nullptr;
  return reinterpret_cast<CoverageEntry>(entry)();
}

}  // namespace

CoverageFeedback::CoverageFeedback(ModuleRecord* record, const std::vector<std::string>& seeds,
                                   std::vector<std::string>& words)
    : CoverageFeedback(find_coverage(record), seeds, words) {}

CoverageFeedback::CoverageFeedback(CoverageView* view, const std::vector<std::string>& seeds,
                                   std::vector<std::string>& words)
    : map_(view),
      words_(map_.active() ? view : nullptr, words),
      corpus_(seeds),
      dictionary_(words) {}

void CoverageFeedback::note_seeds_sent(std::string& frames) const {
  append_frame(frames, FrameType::kCoverage, encode(CoverageNote{map_.edges()}));
}

bool CoverageFeedback::after_request(const std::string& request, bool keep, bool learn,
                                     std::string& frames) {
  // A long request is not kept, nor is what it reached taken as seen, so
  // that a shorter one reaching the same is kept instead: mutating from
  // long requests would slow every request after.
  // Nor are its comparisons read: finding their operands in it would take
  // long.
  bool short_enough = request.size() <= kLongestKept;
  bool fresh = map_.take_new(short_enough) && short_enough;
  if (fresh && keep && corpus_.keep(request)) {
    append_frame(frames, FrameType::kCorpusEntry, encode(CorpusEntry{map_.edges(), request}));
  }
  return (fresh || learn) && short_enough && words_.take(dictionary_, request) != 0;
}
