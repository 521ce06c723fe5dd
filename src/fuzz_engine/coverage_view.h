#pragma once

// The layout a module built with include/modtest/coverage.c hands the host
// through its `modtest_coverage` export: version 1 of it, field for field.
// The module's compiler and this one agree on it, being built for the same
// system; the file documents each field.

#include <cstdint>

constexpr unsigned long kCoverageViewVersion = 1;
constexpr unsigned long kCoverageTextBytes = 32;

enum CoverageOperandKind : unsigned long {
  kOperandIntegers = 1,
  kOperandConstant = 2,  // the first integer is a constant of the code
  kOperandStrings = 3,
  kOperandTexts = 4,  // C strings, each ending at its first NUL
};

struct CoverageOperand {
  unsigned long kind;
  unsigned long size;
  std::uint64_t integers[2];
  unsigned char strings[2][kCoverageTextBytes];
};

struct CoverageRange {
  unsigned char* start;
  unsigned char* stop;
};

struct CoverageView {
  unsigned long version;
  unsigned char* edge_map;
  unsigned long edge_map_size;
  unsigned long* touched;
  unsigned long touched_count;
  unsigned long touched_size;
  CoverageRange* counter_ranges;
  unsigned long counter_range_count;
  CoverageOperand* operands;
  unsigned long operand_size;
  unsigned long operands_written;
};

// The export's type: no arguments, so that it is called alike under every
// calling convention.
using CoverageEntry = CoverageView* (*)();
