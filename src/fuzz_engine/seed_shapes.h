#pragma once

// The line shapes of the seeds, read once per seed rather than once per
// mutation, and the keys and words of the seeds that lines put in reuse.

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "fuzz_engine/line_shape.h"
#include "fuzz_engine/mutation_random.h"

class SeedShapes {
 public:
  // Reads the shape of each seed whose address or size differs from the
  // last call's: the fuzz loop passes the same seeds every time, so this
  // mostly only compares. A seed rewritten in place at the same size keeps
  // its old shape, wrong but within its bytes.
  void update(const std::vector<std::string>& seeds);

  bool any_shaped() const { return !shaped_.empty(); }
  // The index of a line-shaped seed; any_shaped() first.
  std::size_t pick_shaped(MutationRandom& random) const;
  const LineShape& shape(std::size_t index) const { return entries_[index].shape; }
  // Whether the first line of `request`, up to its line end, is that of a
  // shaped seed, or one with only its first word changed: a command put in
  // from the dictionary is worth going on from, as a broken line is not.
  bool has_seed_first_line(std::string_view request) const;
  // The key of a line of a shaped seed; empty when no line has a key
  // before its ':'.
  std::string_view pick_key(MutationRandom& random) const;
  // A word of a seed; empty when the seed drawn has none.
  std::string_view pick_word(MutationRandom& random) const;

 private:
  struct Entry {
    const char* data = nullptr;
    std::size_t size = 0;
    LineShape shape;
  };

  const std::vector<std::string>* seeds_ = nullptr;
  std::vector<Entry> entries_;
  std::vector<std::size_t> shaped_;
  // (seed, line) of each line with a key before its ':'.
  std::vector<std::pair<std::size_t, std::size_t>> keys_;
};
