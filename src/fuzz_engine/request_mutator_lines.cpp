#include "fuzz_engine/line_mutator.h"
#include "fuzz_engine/mutation_draws.h"
#include "fuzz_engine/request_mutator.h"
#include "fuzz_engine/word_mutator.h"

// The calls of mutate that keep a line-shaped request's lines.

unsigned RequestMutator::mutate_lines(std::string& request, const std::vector<std::string>& seeds) {
  MutationRandom& random = context_.random;
  unsigned applied = 0;
  // The shape of the request; null once a mutation has changed it, until a
  // line kind needs it again.
  const LineShape* shape = nullptr;
  // Half the time the request goes on from where it is, so that changes add
  // up, while it is line-shaped and its first line a seed's: byte changes
  // since the last call may have broken either. Else it starts again, which
  // also keeps it short.
  if (random.pick(1, 2) == 0 && seed_shapes_.has_seed_first_line(request) &&
      find_line_shape(request, request_shape_)) {
    shape = &request_shape_;
  } else {
    std::size_t index = seed_shapes_.pick_shaped(random);
    request.assign(seeds[index], 0, max_length());
    applied |= mutation_bit(Mutation::kRestartFromSeed);
    // The seed's own shape, unless the cap cut the seed.
    if (request.size() == seeds[index].size()) shape = &seed_shapes_.shape(index);
  }
  const MutationDraws& draws = context_.has_dictionary() ? kLineDrawsWithWords : kLineDraws;
  std::uint64_t steps = random.pick(1, 2) == 0 ? 1 : 2 + random.pick(1, 2);
  for (; steps > 0; --steps) {
    for (int tries = 0; tries < kMostDraws; ++tries) {
      Mutation kind = draws[random.pick(5, draws.size())];
      if (is_word_kind(kind)) {
        if (!apply_word_mutation(kind, context_, request)) continue;
      } else {
        if (shape == nullptr) shape = read_shape(request);
        if (!apply_line_mutation(kind, context_, seed_shapes_, request, *shape)) continue;
      }
      applied |= mutation_bit(kind);
      shape = nullptr;
      break;
    }
  }
  return applied;
}

const LineShape* RequestMutator::read_shape(const std::string& request) {
  find_line_shape(request, request_shape_);
  return &request_shape_;
}
