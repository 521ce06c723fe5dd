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
    : map_(find_coverage(record)),
      words_(map_.active() ? find_coverage(record) : nullptr, words),
      corpus_(seeds),
      dictionary_(words) {}

bool CoverageFeedback::after_request(const std::string& request, bool keep, bool learn,
                                     std::string& frames) {
  bool fresh = map_.take_new();
  if (fresh && keep && corpus_.keep(request)) {
    append_frame(frames, FrameType::kCorpusEntry, encode(CorpusEntry{map_.edges(), request}));
  }
  return (fresh || learn) && words_.take(dictionary_) != 0;
}
