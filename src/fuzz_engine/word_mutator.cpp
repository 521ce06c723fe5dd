#include "fuzz_engine/word_mutator.h"

#include <algorithm>

#include "fuzz_engine/mutation_values.h"

namespace {

// A lambda rather than a function, so that the searches inline it.
constexpr auto is_digit = [](char byte) { return byte >= '0' && byte <= '9'; };

std::size_t random_offset(MutationContext& context, const std::string& request) {
  return static_cast<std::size_t>(context.random.pick(32, request.size()));
}

}  // namespace

TextSpan find_word(std::string_view text, std::size_t from) {
  auto word_byte = [](char byte) { return !is_word_separator(byte); };
  auto at = std::find_if(text.begin() + from, text.end(), word_byte);
  if (at == text.end()) {
    at = std::find_if(text.begin(), text.begin() + from, word_byte);
    if (at == text.begin() + from) return {text.size(), 0};
  }
  // Only a start inside a word has any of it before `at`.
  auto begin = at;
  while (begin != text.begin() && word_byte(begin[-1])) --begin;
  auto end = std::find_if(at, text.end(), is_word_separator);
  return {static_cast<std::size_t>(begin - text.begin()), static_cast<std::size_t>(end - begin)};
}

bool replace_number(MutationContext& context, std::string& request) {
  if (request.empty()) return false;
  std::size_t from = random_offset(context, request);
  auto found = std::find_if(request.begin() + from, request.end(), is_digit);
  if (found == request.end()) found = std::find_if(request.begin(), request.end(), is_digit);
  if (found == request.end()) return false;
  std::size_t begin = static_cast<std::size_t>(found - request.begin());
  std::size_t end = begin;
  while (begin > 0 && is_digit(request[begin - 1])) --begin;
  if (begin > 0 && request[begin - 1] == '-') --begin;
  while (end < request.size() && is_digit(request[end])) ++end;
  context.replace(request, begin, end - begin, pick_interesting_number(context.random));
  return true;
}

bool insert_word(MutationContext& context, std::string& request) {
  if (!context.has_dictionary() || context.room(request) == 0) return false;
  std::size_t at = static_cast<std::size_t>(context.random.pick(32, request.size() + 1));
  std::string& text = context.scratch;
  text.clear();
  // Three times in four after the word there, behind a separator of its
  // own, so that the request gains a whole word rather than a longer one.
  if (context.random.pick(2, 4) != 0) {
    while (at < request.size() && !is_word_separator(request[at])) ++at;
    bool line_end = at == request.size() || request[at] == '\r' || request[at] == '\n';
    text.push_back(line_end ? ' ' : request[at]);
  }
  // Never between a CR and its LF, which would leave neither a line end.
  if (at > 0 && at < request.size() && request[at - 1] == '\r' && request[at] == '\n') --at;
  text.append(context.dictionary_word());
  context.replace(request, at, 0, text);
  return true;
}

bool replace_word(MutationContext& context, std::string& request) {
  if (!context.has_dictionary() || request.empty()) return false;
  TextSpan word = find_word(request, random_offset(context, request));
  if (word.size == 0) return false;
  std::string_view old_word(request.data() + word.begin, word.size);
  context.replace(request, word.begin, word.size, context.dictionary_word_like(old_word));
  return true;
}

bool is_word_kind(Mutation kind) {
  return kind == Mutation::kReplaceNumber || kind == Mutation::kInsertWord ||
         kind == Mutation::kReplaceWord;
}

bool apply_word_mutation(Mutation kind, MutationContext& context, std::string& request) {
  switch (kind) {
    case Mutation::kReplaceNumber:
      return replace_number(context, request);
    case Mutation::kInsertWord:
      return insert_word(context, request);
    case Mutation::kReplaceWord:
      return replace_word(context, request);
    default:
      return false;
  }
}
