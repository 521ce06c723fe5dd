// Any bytes as one line of the module list, split as the list reader splits
// it: at most 32767 bytes, NUL-terminated, in a buffer of exactly that size
// so that the address sanitizer sees every read past the terminator. The
// field buffers are exactly one field long for the same reason.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>

#include "fuzz_check.h"
#include "modules/module_field_reader.h"

namespace {

constexpr std::size_t kLineLimit = 32767;
constexpr char kUntouched = '\xA5';
constexpr long kOverflowMessageLength = sizeof "word OVERFLOW!\n" - 1;

bool is_field_separator(char c) {
  return c == ' ' || c == '\t' || c == ',';
}

// A field ends with its NUL inside the buffer, never in a byte the trim
// removes, and holds input bytes and escaped line breaks only.
void check_field(const char* field, const char* line, std::size_t length) {
  std::size_t size = strnlen(field, kFieldCapacity);
  FUZZ_CHECK(size < kFieldCapacity);
  if (size == 0) return;
  char last = field[size - 1];
  FUZZ_CHECK(last != '\n' && last != ' ' && last != '\t');
  for (std::size_t i = 0; i < size; ++i) {
    FUZZ_CHECK(field[i] == '\r' || field[i] == '\n' || std::memchr(line, field[i], length));
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The overflow message goes to stdout: keep it in a scratch file, gone
  // from the disk already, so that the messages of each line can be counted.
  char path[] = "/tmp/modtest-fuzz-stdout-XXXXXX";
  int fd = mkstemp(path);
  FUZZ_CHECK(fd >= 0);
  close(fd);
  FUZZ_CHECK(std::freopen(path, "w+", stdout) != nullptr);
  unlink(path);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::size_t length = size < kLineLimit ? size : kLineLimit;
  std::unique_ptr<char[]> line(new char[length + 1]);
  std::memcpy(line.get(), data, length);
  line[length] = '\0';
  std::unique_ptr<char[]> name(new char[kFieldCapacity]);
  std::unique_ptr<char[]> path(new char[kFieldCapacity]);
  std::memset(name.get(), kUntouched, kFieldCapacity);
  std::memset(path.get(), kUntouched, kFieldCapacity);

  long before = std::ftell(stdout);
  int result = split_module_line(line.get(), name.get(), path.get());
  FUZZ_CHECK(std::fflush(stdout) == 0);
  long printed = std::ftell(stdout) - before;

  const char* first = line.get();
  while (is_field_separator(*first)) ++first;
  bool entry = *first != '\0' && *first != '#' && *first != '\n';
  FUZZ_CHECK(result == (entry ? 1 : 0));
  if (entry) {
    std::size_t text_length = strlen(line.get());
    check_field(name.get(), line.get(), text_length);
    check_field(path.get(), line.get(), text_length);
  } else {
    for (std::size_t i = 0; i < kFieldCapacity; ++i) {
      FUZZ_CHECK(name[i] == kUntouched && path[i] == kUntouched);
    }
  }
  // At most one overflow message per field, and nothing else is printed.
  FUZZ_CHECK(printed == 0 || printed == kOverflowMessageLength ||
             printed == 2 * kOverflowMessageLength);

  if (std::ftell(stdout) > (1L << 20)) {
    std::rewind(stdout);
    FUZZ_CHECK(ftruncate(fileno(stdout), 0) == 0);
  }
  return 0;
}
