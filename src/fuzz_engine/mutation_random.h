#pragma once

// The random choices behind the mutations, from splitmix64, whose output is
// fixed by its seed on every compiler, unlike std::rand or the <random>
// distributions.

#include <cstddef>
#include <cstdint>

// Each choice takes only the bits it needs, so that a whole mutation mostly
// costs one draw of the generator.
class MutationRandom {
 public:
  explicit MutationRandom(std::uint64_t seed) : state_(seed) {}
  // A number in [0, bound) from the next `width` random bits (at most 32,
  // with bound at most 2^32), scaled by a multiplication: far cheaper than a
  // division, with no 128-bit arithmetic. The slight bias does not matter.
  std::uint64_t pick(unsigned width, std::uint64_t bound) {
    if (left_ < width) {
      bits_ = next();
      left_ = 64;
    }
    std::uint64_t field = bits_ & ((std::uint64_t{1} << width) - 1);
    bits_ >>= width;
    left_ -= width;
    return (field * bound) >> width;
  }
  // Fills `count` bytes with random ones, eight to a draw.
  void fill(char* bytes, std::size_t count);

 private:
  std::uint64_t next();

  std::uint64_t state_;
  std::uint64_t bits_ = 0;
  unsigned left_ = 0;
};
