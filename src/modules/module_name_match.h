#pragma once

#include "modules/module_record.h"

// How many single-byte edits (insert, delete, replace, or swap of two
// neighbours) turn `first` into `second`, letters compared without regard to
// case; `limit` + 1 when it takes more than `limit`, or when either name is
// too long to compare (over 64 bytes) and the two differ in more than case.
int name_distance(const char* first, const char* second, int limit);

// The first record of the chain from `head` whose library loaded and whose
// name is closest to `name` within a typing slip's distance: only the case
// differs, or one edit for names of up to four bytes, two for longer ones.
// Null when no name is that close.
const ModuleRecord* closest_module_name(const ModuleRecord* head, const char* name);
