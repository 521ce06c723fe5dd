#include "fuzz_engine/comparison_words.h"

#include <algorithm>
#include <cstdio>

namespace {

std::string operand_string(const unsigned char* bytes, std::size_t size, bool text) {
  const unsigned char* end = text ? std::find(bytes, bytes + size, 0) : bytes + size;
  return std::string(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(end - bytes));
}

// Whether `request` holds `value` as one of its words.
bool holds_integer(const std::string& request, std::uint64_t value, unsigned size) {
  for (const std::string& word : integer_words(value, size)) {
    if (request.find(word) != std::string::npos) return true;
  }
  return false;
}

}  // namespace

std::vector<std::string> integer_words(std::uint64_t value, unsigned size) {
  if (size < 8) value &= (std::uint64_t{1} << (8 * size)) - 1;
  std::vector<std::string> words{std::to_string(value)};
  if (value < 256) return words;
  std::uint64_t top = std::uint64_t{1} << (8 * size - 1);
  if ((value & top) != 0) {
    std::uint64_t magnitude = size < 8 ? (top << 1) - value : ~value + 1;
    words.push_back("-" + std::to_string(magnitude));
  }
  char hex[24];
  std::snprintf(hex, sizeof hex, "0x%llx", static_cast<unsigned long long>(value));
  words.emplace_back(hex);
  // Up to its highest byte that is not zero: a key of four letters
  // compared in eight bytes is the four letters.
  std::string bytes;
  for (std::uint64_t rest = value; rest != 0; rest >>= 8) bytes.push_back(static_cast<char>(rest));
  words.push_back(bytes);
  return words;
}

ComparisonWords::ComparisonWords(CoverageView* view, const std::vector<std::string>& known)
    : view_(view != nullptr && view->version == kCoverageViewVersion && view->operands != nullptr
                ? view
                : nullptr) {
  // A module without coverage costs no copy of the dictionary.
  if (view_ == nullptr) return;
  held_.insert(known.begin(), known.end());
  read_ = view_->operands_written;
}

void ComparisonWords::add(std::string word, std::vector<std::string>& words, std::size_t& added) {
  if (word.empty() || learned_ >= kMostWords || !held_.insert(word).second) return;
  words.push_back(std::move(word));
  ++learned_;
  ++added;
}

std::size_t ComparisonWords::take(std::vector<std::string>& words, const std::string& request) {
  if (view_ == nullptr || view_->operand_size == 0) return 0;
  unsigned long written = view_->operands_written;
  // Those overwritten since are lost: the ring keeps the latest.
  if (written - read_ > view_->operand_size) read_ = written - view_->operand_size;
  std::size_t added = 0;
  for (; read_ != written; ++read_) {
    const CoverageOperand& operand = view_->operands[read_ % view_->operand_size];
    if (operand.kind == kOperandStrings || operand.kind == kOperandTexts) {
      std::size_t size = operand.size < kCoverageTextBytes ? operand.size : kCoverageTextBytes;
      for (const unsigned char* bytes : operand.strings) {
        add(operand_string(bytes, size, operand.kind == kOperandTexts), words, added);
      }
      continue;
    }
    // Bytes are characters the request holds already, mostly.
    unsigned size = static_cast<unsigned>(operand.size);
    if (size != 2 && size != 4 && size != 8) continue;
    // A constant is what the other side is compared against; the other
    // side came from the request. Small numbers of two variables are
    // lengths and counts more often than words.
    bool constant = operand.kind == kOperandConstant;
    for (int side = 0; side < (constant ? 1 : 2); ++side) {
      if (!constant && (operand.integers[side] < 256 ||
                        !holds_integer(request, operand.integers[1 - side], size))) {
        continue;
      }
      for (std::string& word : integer_words(operand.integers[side], size)) {
        add(std::move(word), words, added);
      }
    }
  }
  return added;
}
