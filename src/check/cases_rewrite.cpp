#include "check/cases_rewrite.h"

#include <cstdio>
#include <utility>

#include "platform/files.h"

namespace {

// The whole file at `path`; false when it cannot be opened.
bool read_whole_file(const std::string& path, std::string& bytes) {
  std::FILE* in = open_binary_file(path.c_str());
  if (in == nullptr) return false;
  char chunk[64 * 1024];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in)) > 0;) {
    bytes.append(chunk, got);
  }
  std::fclose(in);
  return true;
}

// A new file beside the old one takes its place whole, so that a failed
// write leaves the cases as they were.
bool replace_whole_file(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".modtest-update";
  std::FILE* out = std::fopen(temporary.c_str(), "wb");
  bool written = out != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (out != nullptr && std::fclose(out) != 0) written = false;
  if (!written || !replace_file(temporary.c_str(), path.c_str())) {
    std::remove(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool update_cases_file(const std::string& path, const std::vector<ReplyEdit>& edits) {
  std::vector<ReplyEdit> encodable;
  for (const ReplyEdit& edit : edits) {
    std::string value;
    if (encode_reply_value(edit.value, value)) {
      encodable.push_back({edit.line, edit.add_after, std::move(value)});
    } else {
      std::fprintf(stderr,
                   "modtest: %s:%zu: the reply holds a byte 0x1A, or a two-byte lead byte before "
                   "a line break, which no line of the file can hold; left as it was\n",
                   path.c_str(), edit.line);
    }
  }
  if (encodable.empty()) return true;
  std::string original;
  if (!read_whole_file(path, original)) {
    std::fprintf(stderr, "modtest: cannot read %s again to update it\n", path.c_str());
    return false;
  }
  std::vector<std::size_t> refused;
  std::string updated = apply_reply_edits(original, encodable, refused);
  for (std::size_t line : refused) {
    std::fprintf(stderr,
                 "modtest: %s:%zu: the line lies after a byte 0x1A, which ends the file; left "
                 "as it was\n",
                 path.c_str(), line);
  }
  if (!replace_whole_file(path, updated)) {
    std::fprintf(stderr, "modtest: cannot write the updated cases to %s\n", path.c_str());
    return false;
  }
  return true;
}
