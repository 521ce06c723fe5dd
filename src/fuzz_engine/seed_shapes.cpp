#include "fuzz_engine/seed_shapes.h"

#include "fuzz_engine/word_mutator.h"

void SeedShapes::update(const std::vector<std::string>& seeds) {
  seeds_ = &seeds;
  bool changed = entries_.size() != seeds.size();
  entries_.resize(seeds.size());
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    Entry& entry = entries_[i];
    if (entry.data == seeds[i].data() && entry.size == seeds[i].size()) continue;
    entry.data = seeds[i].data();
    entry.size = seeds[i].size();
    find_line_shape(seeds[i], entry.shape);
    changed = true;
  }
  if (!changed) return;
  shaped_.clear();
  keys_.clear();
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    const LineShape& shape = entries_[i].shape;
    if (!shape.shaped) continue;
    shaped_.push_back(i);
    for (std::size_t line = 1; line < shape.lines.size(); ++line) {
      const ShapedLine& keyed = shape.lines[line];
      if (keyed.has_colon && keyed.key.size > 0) keys_.emplace_back(i, line);
    }
  }
}

std::size_t SeedShapes::pick_shaped(MutationRandom& random) const {
  return shaped_[static_cast<std::size_t>(random.pick(32, shaped_.size()))];
}

bool SeedShapes::has_seed_first_line(std::string_view request) const {
  std::size_t line_feed = request.find('\n');
  if (line_feed == std::string_view::npos) return false;
  std::string_view line = request.substr(0, line_feed);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  std::size_t blank = line.find(' ');
  std::string_view after_word = blank == std::string_view::npos ? "" : line.substr(blank);
  for (std::size_t index : shaped_) {
    TextSpan first = entries_[index].shape.lines.front().text;
    std::string_view seed_line = std::string_view((*seeds_)[index]).substr(first.begin, first.size);
    if (seed_line == line) return true;
    std::size_t seed_blank = seed_line.find(' ');
    if (!after_word.empty() && seed_blank != std::string_view::npos &&
        seed_line.substr(seed_blank) == after_word) {
      return true;
    }
  }
  return false;
}

std::string_view SeedShapes::pick_key(MutationRandom& random) const {
  if (keys_.empty()) return {};
  const auto& [seed, line] = keys_[static_cast<std::size_t>(random.pick(32, keys_.size()))];
  TextSpan key = entries_[seed].shape.lines[line].key;
  return std::string_view((*seeds_)[seed]).substr(key.begin, key.size);
}

std::string_view SeedShapes::pick_word(MutationRandom& random) const {
  if (seeds_ == nullptr || seeds_->empty()) return {};
  std::string_view seed = (*seeds_)[static_cast<std::size_t>(random.pick(32, seeds_->size()))];
  TextSpan word = find_word(seed, static_cast<std::size_t>(random.pick(32, seed.size())));
  return seed.substr(word.begin, word.size);
}
