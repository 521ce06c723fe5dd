#pragma once

// The fuzzer's mutations: turns one request into the next, deterministically
// for a seed, so that a run can be repeated byte for byte on any platform.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_engine/mutation_kind.h"
#include "fuzz_engine/mutation_random.h"

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
