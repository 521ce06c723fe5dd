#include "run_terms/timeout_setting.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

double parse_timeout_setting(const char* text) {
  if (text == nullptr) return 0;
  char* end = nullptr;
  double seconds = std::strtod(text, &end);
  // A year is more than any call may take; above that a number is a typo.
  if (end == text || *end != '\0' || !std::isfinite(seconds) || seconds <= 0 ||
      seconds > 31536000) {
    std::fprintf(stderr,
                 "modtest: MODTEST_TIMEOUT is \"%s\", not a positive number of seconds; "
                 "no timeout is set\n",
                 text);
    return 0;
  }
  return seconds;
}
