#pragma once

// --update: the actual replies written into a cases file, every other byte
// of it kept.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Writes `reply` as the value of a cases line that reads back as exactly
// those bytes: in double quotes, escaped as the settings line parser reads
// them. A value that ends in a backslash or a lone two-byte lead byte has no
// closing quote, so it must end its line. Returns false when no value can
// hold the reply: a byte 0x1A (which ends a text file) or a lead byte
// followed by a line feed or a carriage return.
bool encode_reply_value(std::string_view reply, std::string& value);

// One change to a cases file: the value of the reply: line `line` replaced,
// or, when the case has none, a reply: line added after its request: line
// `line`. `value` is already encoded.
struct ReplyEdit {
  std::size_t line;
  bool add_after;
  std::string value;
};

// Applies `edits`, in ascending order of their lines, to the bytes of the
// file. A line lies at or after the first 0x1A byte cannot be changed (the
// reader never saw it): the line numbers of such edits go to `refused`.
std::string apply_reply_edits(const std::string& file, const std::vector<ReplyEdit>& edits,
                              std::vector<std::size_t>& refused);
