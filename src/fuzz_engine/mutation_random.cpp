#include "fuzz_engine/mutation_random.h"

std::uint64_t MutationRandom::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

void MutationRandom::fill(char* bytes, std::size_t count) {
  for (std::size_t at = 0; at < count; at += 8) {
    // Byte by byte from the low end, the same on every byte order.
    std::uint64_t word = next();
    for (std::size_t i = at; i < count && i < at + 8; ++i, word >>= 8) {
      bytes[i] = static_cast<char>(word & 0xFF);
    }
  }
}
