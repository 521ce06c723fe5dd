#pragma once

// Mutations that keep a request line-shaped: values, lines and the first
// line's words change, while each line keeps its line end and the closing
// empty line stays unless changing it is the mutation. Lines put in take
// the line end and the key separator the request already uses.

#include <string>

#include "fuzz_engine/line_shape.h"
#include "fuzz_engine/mutation_context.h"
#include "fuzz_engine/mutation_kind.h"
#include "fuzz_engine/seed_shapes.h"

// Applies one mutation of a line kind to `request`, whose shape is `shape`;
// `seeds` lends the keys and words of added lines. Returns false, changing
// nothing, when the request is not line-shaped or lacks what the kind
// needs: lines to delete or swap, a dictionary, room.
bool apply_line_mutation(Mutation kind, MutationContext& context, const SeedShapes& seeds,
                         std::string& request, const LineShape& shape);
