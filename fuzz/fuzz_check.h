#pragma once

#include <cstdio>
#include <cstdlib>

// A broken invariant is a finding: say which and stop, so that libFuzzer
// keeps the input. Unlike assert, this stays on in optimised builds.
#define FUZZ_CHECK(condition)                                                                \
  do {                                                                                       \
    if (!(condition)) {                                                                      \
      std::fprintf(stderr, "%s:%d: invariant failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                          \
    }                                                                                        \
  } while (0)
