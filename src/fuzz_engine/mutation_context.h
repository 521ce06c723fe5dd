#pragma once

// What every mutation of one mutator draws on: its random choices, its cap,
// its dictionary and a buffer to build text in without allocating.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_engine/mutation_random.h"

struct MutationContext {
  MutationContext(std::uint64_t seed, std::size_t cap) : random(seed), max_length(cap) {}

  bool has_dictionary() const { return dictionary != nullptr && !dictionary->empty(); }
  // has_dictionary() first.
  std::string_view dictionary_word() {
    return (*dictionary)[static_cast<std::size_t>(random.pick(32, dictionary->size()))];
  }
  // Half the time a word of the same kind as `replaced` (capitals, a
  // capitalised word, small letters, anything else), when the dictionary
  // has one: a command is then most often replaced by a word that reads as
  // a command, a key by a word that reads as a key, among the thousands of
  // words a module's file holds. has_dictionary() first.
  std::string_view dictionary_word_like(std::string_view replaced);
  // Sorts the words of `words` by kind, for dictionary_word_like.
  void set_dictionary(const std::vector<std::string>* words);

  // The bytes a request may still grow by.
  std::size_t room(const std::string& request) const {
    return request.size() < max_length ? max_length - request.size() : 0;
  }
  // Puts `with` in the place of `size` bytes at `at`, cut so that the
  // request stays within the cap. `with` must not point into `request`.
  void replace(std::string& request, std::size_t at, std::size_t size,
               std::string_view with) const {
    std::size_t fits = room(request) + size;
    request.replace(at, size, with.data(), with.size() < fits ? with.size() : fits);
  }

  MutationRandom random;
  std::size_t max_length;
  // Not owned; null or empty for none.
  const std::vector<std::string>* dictionary = nullptr;
  static constexpr std::size_t kWordKinds = 4;
  std::vector<std::uint32_t> words_of_kind[kWordKinds];
  // Grows to the longest text built and keeps that capacity.
  std::string scratch;
};
