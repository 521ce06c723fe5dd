#pragma once

// The fuzzer's mutations: turns one request into the next, deterministically
// for a seed, so that a run can be repeated byte for byte on any platform.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What one step of mutate may do to a request.
enum class Mutation : unsigned {
  kFlipBit,
  kFlipByte,
  kInsertBytes,
  kDeleteBytes,
  kRepeatSpan,
  // The bytes modules trip over: delimiters, NUL, 0x1A, lone lead bytes.
  kInsertTrickyByte,
  // These two need at least one seed.
  kSpliceSeeds,
  kRestartFromSeed,
  kCount,
};

// The mask bit that mutate sets for `kind`.
constexpr unsigned mutation_bit(Mutation kind) {
  return 1u << static_cast<unsigned>(kind);
}

// The random choices behind the mutations, from splitmix64, whose output is
// fixed by its seed on every compiler, unlike std::rand or the <random>
// distributions. Each choice takes only the bits it needs, so that a whole
// mutation mostly costs one draw of the generator.
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

class RequestMutator {
 public:
  static constexpr std::size_t kDefaultMaxLength = 64 * 1024;
  // Positions are picked from 32 random bits; a larger cap is cut to this.
  static constexpr std::size_t kLongestMaxLength = std::size_t{1} << 31;

  explicit RequestMutator(std::uint64_t seed, std::size_t max_length = kDefaultMaxLength);

  // Applies one to a few mutations to `request` in place, sometimes after
  // starting again from one of `seeds`, and never lets it grow past the cap
  // (a longer request is first cut to it).
  // The first call reserves the cap, so later ones never allocate. Returns the
  // mutation_bit of every kind it applied.
  unsigned mutate(std::string& request, const std::vector<std::string>& seeds);

  // Applies one mutation of the given kind. Kinds that need bytes or seeds the
  // request or list lacks change nothing and return false.
  bool apply(Mutation kind, std::string& request, const std::vector<std::string>& seeds);

  std::size_t max_length() const { return max_length_; }

 private:
  std::size_t room(const std::string& request) const;
  void flip_bit(std::string& request);
  void flip_byte(std::string& request);
  void insert_bytes(std::string& request);
  void delete_bytes(std::string& request);
  void repeat_span(std::string& request);
  void insert_tricky_byte(std::string& request);
  void splice_seeds(std::string& request, const std::vector<std::string>& seeds);
  void restart_from_seed(std::string& request, const std::vector<std::string>& seeds);

  MutationRandom random_;
  std::size_t max_length_;
};
