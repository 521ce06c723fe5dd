#include "fuzz_engine/mutation_values.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr std::string_view kKeyNumbers[] = {
    "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",   "9",   "10",  "0",   "11",
    "15", "16", "31", "32", "63", "64", "99", "100", "127", "128", "255", "256",
};
constexpr std::size_t kKeyNumberCount = sizeof kKeyNumbers / sizeof kKeyNumbers[0];

constexpr char kRunBytes[] = {'A', 'a', '0', '9', ' ', '%', ',', ':'};

}  // namespace

std::string_view pick_interesting_number(MutationRandom& random) {
  return kInterestingNumbers[random.pick(6, std::size(kInterestingNumbers))];
}

std::string_view pick_key_number(MutationRandom& random, std::string_view old) {
  // The first ten, 1 to 10, come half the time.
  std::size_t index = random.pick(1, 2) == 0 ? random.pick(4, 10) : random.pick(5, kKeyNumberCount);
  // Never the number the key had, or it would only repeat a line.
  if (kKeyNumbers[index] == old) index = (index + 1) % kKeyNumberCount;
  return kKeyNumbers[index];
}

std::size_t pick_run_length(MutationRandom& random, std::size_t most) {
  std::uint64_t band = random.pick(4, 16);
  std::size_t length = band < 10    ? 1 + random.pick(5, 32)
                       : band < 14  ? 33 + random.pick(10, 1024 - 32)
                       : band == 14 ? 1025 + random.pick(13, 8192 - 1024)
                                    : 1 + random.pick(16, 64 * 1024);
  return std::min(length, most);
}

char pick_run_byte(MutationRandom& random) {
  return kRunBytes[random.pick(3, sizeof kRunBytes)];
}
