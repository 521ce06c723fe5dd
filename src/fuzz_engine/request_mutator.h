#pragma once

// The fuzzer's mutations: turns one request into the next, deterministically
// for a seed, so that a run can be repeated byte for byte on any platform.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_engine/line_shape.h"
#include "fuzz_engine/mutation_context.h"
#include "fuzz_engine/mutation_kind.h"
#include "fuzz_engine/mutation_random.h"
#include "fuzz_engine/seed_shapes.h"

class RequestMutator {
 public:
  static constexpr std::size_t kDefaultMaxLength = 64 * 1024;
  // Positions are picked from 32 random bits; a larger cap is cut to this.
  static constexpr std::size_t kLongestMaxLength = std::size_t{1} << 31;

  explicit RequestMutator(std::uint64_t seed, std::size_t max_length = kDefaultMaxLength);

  // Words that the word mutations put in, and that lines put in take as
  // keys and values. Not owned: they must outlive the calls. Null or empty
  // for none, and then no word mutation is drawn.
  void set_dictionary(const std::vector<std::string>* words) { context_.set_dictionary(words); }

  // Applies one to a few mutations to `request` in place and never lets it
  // grow past the cap (a longer request is first cut to it). When any seed
  // is line-shaped (see line_shape.h), three calls in four start again from
  // such a seed, or go on from the request while it is line-shaped, and
  // make one to three line or word mutations; the other calls, and every
  // call without such seeds, make byte mutations, sometimes after starting
  // again from any seed. The shapes of the seeds are kept between calls,
  // found again only for a seed whose address or size changes.
  // The first call reserves the cap, so later ones never allocate. Returns the
  // mutation_bit of every kind it applied.
  unsigned mutate(std::string& request, const std::vector<std::string>& seeds);

  // Applies one mutation of the given kind. Kinds that need bytes, seeds,
  // words, a dictionary or a line shape the request or lists lack change
  // nothing and return false.
  bool apply(Mutation kind, std::string& request, const std::vector<std::string>& seeds);

  std::size_t max_length() const { return context_.max_length; }

 private:
  unsigned mutate_bytes(std::string& request, const std::vector<std::string>& seeds);
  unsigned mutate_lines(std::string& request, const std::vector<std::string>& seeds);
  // Reads the shape of `request` into request_shape_.
  const LineShape* read_shape(const std::string& request);
  std::size_t room(const std::string& request) const { return context_.room(request); }
  void flip_bit(std::string& request);
  void flip_byte(std::string& request);
  void insert_bytes(std::string& request);
  void delete_bytes(std::string& request);
  void repeat_span(std::string& request);
  void insert_tricky_byte(std::string& request);
  void splice_seeds(std::string& request, const std::vector<std::string>& seeds);
  void restart_from_seed(std::string& request, const std::vector<std::string>& seeds);

  MutationContext context_;
  SeedShapes seed_shapes_;
  // The shape of the request as it is, read again after each change.
  LineShape request_shape_;
};
