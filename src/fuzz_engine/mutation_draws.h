#pragma once

// The kinds each step of mutate draws from, each as often as its weight says
// out of 32, so that five random bits pick one.

#include <array>
#include <cstddef>

#include "fuzz_engine/mutation_kind.h"

// A draw that changes nothing (a deletion from an empty request, a line
// swap with one line) is drawn again, but never forever: a cap of 0 leaves
// nothing to do.
inline constexpr int kMostDraws = 8;

struct MutationWeight {
  Mutation kind;
  unsigned count;
};

using MutationDraws = std::array<Mutation, 32>;

template <std::size_t N>
constexpr MutationDraws spread_draws(const MutationWeight (&weights)[N]) {
  MutationDraws draws{};
  std::size_t filled = 0;
  for (const MutationWeight& weight : weights) {
    for (unsigned i = 0; i < weight.count; ++i) draws[filled++] = weight.kind;
  }
  // Weights that do not add up to 32 stop the build here.
  if (filled != draws.size()) throw "the weights must add up to 32";
  return draws;
}

// Bytes. The bytes modules trip over come most often, since finding those
// is what the fuzzer is for; deletions more often than insertions, so that
// requests do not keep growing; a splice throws away the drift of earlier
// steps, so it comes least. A number now and then, and with a dictionary a
// word, since a module's checks are mostly of its words and numbers.
inline constexpr MutationWeight kByteWeights[] = {
    {Mutation::kFlipBit, 4},          {Mutation::kFlipByte, 4},      {Mutation::kInsertBytes, 4},
    {Mutation::kDeleteBytes, 6},      {Mutation::kRepeatSpan, 2},    {Mutation::kSpliceSeeds, 2},
    {Mutation::kInsertTrickyByte, 9}, {Mutation::kReplaceNumber, 1},
};
inline constexpr MutationWeight kByteWeightsWithWords[] = {
    {Mutation::kFlipBit, 4},          {Mutation::kFlipByte, 4},      {Mutation::kInsertBytes, 4},
    {Mutation::kDeleteBytes, 6},      {Mutation::kRepeatSpan, 2},    {Mutation::kSpliceSeeds, 2},
    {Mutation::kInsertTrickyByte, 7}, {Mutation::kReplaceNumber, 1}, {Mutation::kInsertWord, 1},
    {Mutation::kReplaceWord, 1},
};

// Lines. Values and added lines most, since they are what a module reads
// past its first line; changes that take lines away less, since each
// leaves less to read; the closing empty line least, since without it most
// modules read no further.
inline constexpr MutationWeight kLineWeights[] = {
    {Mutation::kReplaceValue, 11}, {Mutation::kAddLine, 8},   {Mutation::kDeleteLine, 3},
    {Mutation::kDuplicateLine, 2}, {Mutation::kSwapLines, 2}, {Mutation::kChangeClosingLine, 1},
    {Mutation::kReplaceNumber, 5},
};
inline constexpr MutationWeight kLineWeightsWithWords[] = {
    {Mutation::kReplaceValue, 8},
    {Mutation::kAddLine, 6},
    {Mutation::kDeleteLine, 2},
    {Mutation::kDuplicateLine, 2},
    {Mutation::kSwapLines, 2},
    {Mutation::kChangeClosingLine, 1},
    {Mutation::kReplaceFirstLineWord, 3},
    {Mutation::kReplaceNumber, 3},
    {Mutation::kInsertWord, 2},
    {Mutation::kReplaceWord, 3},
};

inline constexpr MutationDraws kByteDraws = spread_draws(kByteWeights);
inline constexpr MutationDraws kByteDrawsWithWords = spread_draws(kByteWeightsWithWords);
inline constexpr MutationDraws kLineDraws = spread_draws(kLineWeights);
inline constexpr MutationDraws kLineDrawsWithWords = spread_draws(kLineWeightsWithWords);
