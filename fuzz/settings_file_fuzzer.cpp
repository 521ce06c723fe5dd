// Any bytes as a whole test.ini, read from disk as a run reads it. The
// lines the reader hands on are held against a plain model of text mode:
// drop every CR, stop at 0x1A, cut after each LF. A difference points at the
// chunked reading (127-byte pieces, the refill of the read buffer). The
// whole read then fills a store whose invariants are checked.

#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "settings/settings_reader.h"
#include "settings_invariants.h"
#include "text/text_file.h"

namespace {

std::string directory;

std::string as_text_mode(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (char c : bytes) {
    if (c == '\x1A') break;
    if (c != '\r') text += c;
  }
  return text;
}

// Every line read_settings_line gives, one after the other, is the model
// text's next piece up to and including a line feed (or its last piece).
void check_lines(const std::string& path, const std::string& text) {
  TextFile* file = open_text_file(path.c_str());
  FUZZ_CHECK(file != nullptr);
  std::string line;
  std::size_t start = 0;
  while (read_settings_line(line, file)) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    FUZZ_CHECK(start < text.size());
    FUZZ_CHECK(std::string_view(line) == std::string_view(text).substr(start, end - start));
    start = end;
  }
  FUZZ_CHECK(start == text.size());
  close_text_file(file);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char pattern[] = "/tmp/modtest-fuzz-XXXXXX";
  const char* made = mkdtemp(pattern);
  FUZZ_CHECK(made != nullptr);
  directory = std::string(made) + kPathSeparator;
  // The folder goes when the fuzzer ends normally; a finding leaves it.
  static struct Cleanup {
    ~Cleanup() {
      std::remove((directory + "test.ini").c_str());
      rmdir(directory.c_str());
    }
  } cleanup;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::FILE* file = std::fopen((directory + "test.ini").c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, file) == size);
  FUZZ_CHECK(std::fclose(file) == 0);

  check_lines(directory + "test.ini", as_text_mode(bytes));

  SettingsStore store;
  SettingsReader reader;
  FUZZ_CHECK(reader.read_settings(store, directory) == 1);
  check_store(store, bytes);
  return 0;
}
