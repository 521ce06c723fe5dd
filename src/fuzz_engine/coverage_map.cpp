#include "fuzz_engine/coverage_map.h"

#include <cstring>

namespace {

// A range longer than this is no counter array a compiler made.
constexpr std::size_t kMostRangeBytes = std::size_t{1} << 28;

std::size_t range_size(const CoverageRange& range) {
  if (range.start == nullptr || range.stop < range.start) return 0;
  std::size_t size = static_cast<std::size_t>(range.stop - range.start);
  return size <= kMostRangeBytes ? size : 0;
}

}  // namespace

unsigned char coverage_bucket(unsigned char count) {
  if (count == 0) return 0;
  if (count <= 3) return static_cast<unsigned char>(1u << (count - 1));
  if (count <= 7) return 1u << 3;
  if (count <= 15) return 1u << 4;
  if (count <= 31) return 1u << 5;
  if (count <= 127) return 1u << 6;
  return 1u << 7;
}

CoverageMap::CoverageMap(CoverageView* view)
    : view_(view != nullptr && view->version == kCoverageViewVersion ? view : nullptr) {
  if (view_ != nullptr && view_->edge_map != nullptr) seen_map_.assign(view_->edge_map_size, 0);
}

bool CoverageMap::note(unsigned char* counter, unsigned char& seen, bool record) {
  unsigned char bucket = coverage_bucket(*counter);
  *counter = 0;
  if ((seen & bucket) == bucket) return false;
  if (!record) return true;
  if (seen == 0) ++edges_;
  seen |= bucket;
  return true;
}

bool CoverageMap::take_new(bool record) {
  if (view_ == nullptr) return false;
  bool fresh = false;
  unsigned char* map = view_->edge_map;
  if (map != nullptr) {
    unsigned long touched = view_->touched_count;
    if (touched <= view_->touched_size) {
      for (unsigned long index = 0; index < touched; ++index) {
        unsigned long slot = view_->touched[index];
        if (slot < seen_map_.size()) fresh = note(map + slot, seen_map_[slot], record) || fresh;
      }
    } else {
      for (std::size_t slot = 0; slot < seen_map_.size(); ++slot) {
        if (map[slot] != 0) fresh = note(map + slot, seen_map_[slot], record) || fresh;
      }
    }
    view_->touched_count = 0;
  }
  if (view_->counter_range_count != 0) fresh = read_ranges(record) || fresh;
  return fresh;
}

// Eight counters at a time: most are zero after any one request.
bool CoverageMap::read_ranges(bool record) {
  if (ranges_known_ != view_->counter_range_count) {
    // A library loaded later adds its ranges.
    std::size_t total = 0;
    for (unsigned long index = 0; index < view_->counter_range_count; ++index) {
      total += range_size(view_->counter_ranges[index]);
    }
    seen_ranges_.resize(total, 0);
    ranges_known_ = view_->counter_range_count;
  }
  bool fresh = false;
  std::size_t offset = 0;
  for (unsigned long index = 0; index < ranges_known_; ++index) {
    unsigned char* counters = view_->counter_ranges[index].start;
    std::size_t size = range_size(view_->counter_ranges[index]);
    std::size_t at = 0;
    for (; at + 8 <= size; at += 8) {
      std::uint64_t eight;
      std::memcpy(&eight, counters + at, 8);
      if (eight == 0) continue;
      for (std::size_t one = at; one < at + 8; ++one) {
        if (counters[one] != 0)
          fresh = note(counters + one, seen_ranges_[offset + one], record) || fresh;
      }
    }
    for (; at < size; ++at) {
      if (counters[at] != 0)
        fresh = note(counters + at, seen_ranges_[offset + at], record) || fresh;
    }
    offset += size;
  }
  return fresh;
}
