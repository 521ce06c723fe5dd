#pragma once

#include <cstddef>

// A run of bytes in a request, by offsets, so that it outlives no buffer and
// stays valid for a copy of the same bytes.
struct TextSpan {
  std::size_t begin = 0;
  std::size_t size = 0;
  std::size_t end() const { return begin + size; }
};
