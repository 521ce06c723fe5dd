#pragma once

// Mutations of the words and numbers of any request, line-shaped or not. A
// word is a run of bytes between blanks, ':', ',', '=', CR and LF; a number
// is a run of digits with the '-' before it, if any.

#include <cstddef>
#include <string>
#include <string_view>

#include "fuzz_engine/mutation_context.h"
#include "fuzz_engine/mutation_kind.h"
#include "fuzz_engine/text_span.h"

inline bool is_word_separator(char byte) {
  return byte == ' ' || byte == '\t' || byte == ':' || byte == ',' || byte == '=' || byte == '\r' ||
         byte == '\n';
}

// The word at `from`, else the first one after it, else the first one
// before it; an empty span when `text` has none.
TextSpan find_word(std::string_view text, std::size_t from);

// Each returns false, changing nothing, when the request lacks what it
// needs: a number, a word, a dictionary, room.
bool replace_number(MutationContext& context, std::string& request);
bool insert_word(MutationContext& context, std::string& request);
bool replace_word(MutationContext& context, std::string& request);

// Whether `kind` is one of the three above.
bool is_word_kind(Mutation kind);
// Applies the word kind `kind`; false for any other kind.
bool apply_word_mutation(Mutation kind, MutationContext& context, std::string& request);
