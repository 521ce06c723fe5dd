#pragma once

// --update on disk: the cases file read again, the replies written into it
// and the file replaced whole.

#include <string>
#include <vector>

#include "check/cases_update.h"

// Writes the replies of `edits` (values not yet encoded) into the file at
// `path`; a reply no line can hold, or one for a line after a byte 0x1A, is
// left out with a line on standard error. Returns false after saying why on
// standard error when the file could not be rewritten.
bool update_cases_file(const std::string& path, const std::vector<ReplyEdit>& edits);
