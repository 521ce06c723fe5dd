#include "modules/module_name_match.h"

#include <cstring>

namespace {

// Names are compared in rows of this many cells on the stack.
constexpr int kLongestCompared = 64;

unsigned char folded(char byte) {
  unsigned char value = static_cast<unsigned char>(byte);
  return value >= 'A' && value <= 'Z' ? static_cast<unsigned char>(value - 'A' + 'a') : value;
}

int equal_but_for_case(const char* first, const char* second) {
  for (; *first != '\0' && *second != '\0'; ++first, ++second) {
    if (folded(*first) != folded(*second)) return 0;
  }
  return *first == *second ? 1 : 0;
}

int smallest(int a, int b) {
  return a < b ? a : b;
}

}  // namespace

int name_distance(const char* first, const char* second, int limit) {
  if (equal_but_for_case(first, second)) return 0;
  int first_length = static_cast<int>(std::strlen(first));
  int second_length = static_cast<int>(std::strlen(second));
  if (first_length > kLongestCompared || second_length > kLongestCompared) return limit + 1;
  // Three rows of the edit table: two rows back are needed for a swap.
  int before[kLongestCompared + 1];
  int previous[kLongestCompared + 1];
  int current[kLongestCompared + 1];
  for (int column = 0; column <= second_length; ++column) previous[column] = column;
  for (int row = 1; row <= first_length; ++row) {
    current[0] = row;
    for (int column = 1; column <= second_length; ++column) {
      int same = folded(first[row - 1]) == folded(second[column - 1]) ? 0 : 1;
      int cost = smallest(smallest(previous[column] + 1, current[column - 1] + 1),
                          previous[column - 1] + same);
      if (row > 1 && column > 1 && folded(first[row - 1]) == folded(second[column - 2]) &&
          folded(first[row - 2]) == folded(second[column - 1])) {
        cost = smallest(cost, before[column - 2] + 1);
      }
      current[column] = cost;
    }
    std::memcpy(before, previous, sizeof before);
    std::memcpy(previous, current, sizeof previous);
  }
  return smallest(previous[second_length], limit + 1);
}

const ModuleRecord* closest_module_name(const ModuleRecord* head, const char* name) {
  int limit = std::strlen(name) <= 4 ? 1 : 2;
  const ModuleRecord* closest = nullptr;
  int closest_distance = limit + 1;
  // The chain ends with an empty record, which has no name.
  for (const ModuleRecord* record = head; record != nullptr && record->next != nullptr;
       record = record->next) {
    if (record->library == nullptr) continue;
    int distance = name_distance(name, record->name, limit);
    if (distance < closest_distance) {
      closest = record;
      closest_distance = distance;
    }
  }
  return closest;
}
