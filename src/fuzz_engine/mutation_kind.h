#pragma once

// The kinds of change the mutator makes, each a bit of the mask that
// mutate returns.

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
  // Text anywhere in a request. A number written in digits becomes one that
  // modules get wrong; the two word kinds need a dictionary.
  kReplaceNumber,
  kInsertWord,
  kReplaceWord,
  // Only for a line-shaped request (see line_shape.h), whose line ends and
  // closing empty line they keep.
  kReplaceValue,
  kAddLine,
  kDeleteLine,
  kDuplicateLine,
  kSwapLines,
  // Drops or doubles the closing empty line.
  kChangeClosingLine,
  // Needs a dictionary: the first word is often a command.
  kReplaceFirstLineWord,
  kCount,
};

// The mask bit that mutate sets for `kind`.
constexpr unsigned mutation_bit(Mutation kind) {
  return 1u << static_cast<unsigned>(kind);
}
