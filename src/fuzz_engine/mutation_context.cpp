#include "fuzz_engine/mutation_context.h"

namespace {

std::size_t word_kind(std::string_view word) {
  bool upper = false;
  bool lower = false;
  bool other = false;
  for (char byte : word) {
    if (byte >= 'A' && byte <= 'Z') {
      upper = true;
    } else if (byte >= 'a' && byte <= 'z') {
      lower = true;
    } else if (!(byte >= '0' && byte <= '9') && byte != '-' && byte != '_') {
      other = true;
    }
  }
  if (other || (!upper && !lower)) return 3;
  if (upper && !lower) return 0;
  bool capitalised = word.front() >= 'A' && word.front() <= 'Z';
  return capitalised ? 1 : lower && !upper ? 2 : 3;
}

}  // namespace

void MutationContext::set_dictionary(const std::vector<std::string>* words) {
  dictionary = words;
  for (std::vector<std::uint32_t>& kind : words_of_kind) kind.clear();
  if (words == nullptr) return;
  for (std::size_t index = 0; index < words->size(); ++index) {
    if ((*words)[index].empty()) continue;
    words_of_kind[word_kind((*words)[index])].push_back(static_cast<std::uint32_t>(index));
  }
}

std::string_view MutationContext::dictionary_word_like(std::string_view replaced) {
  if (replaced.empty() || random.pick(1, 2) == 0) return dictionary_word();
  const std::vector<std::uint32_t>& alike = words_of_kind[word_kind(replaced)];
  if (alike.empty()) return dictionary_word();
  return (*dictionary)[alike[static_cast<std::size_t>(random.pick(32, alike.size()))]];
}
