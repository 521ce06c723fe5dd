// A file the loader refuses is named in plain words where its first bytes
// tell what it is; the loader's own words follow in brackets.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/library.h"

namespace {

struct RefusedFile {
  const char* name;
  std::string bytes;
  const char* words;  // what the reason starts with
};

std::string elf_head(unsigned char bits, unsigned char machine) {
  std::string head =
      "\x7f"
      "ELF";
  head += static_cast<char>(bits == 32 ? 1 : 2);
  head += '\x01';  // little-endian
  head += std::string(12, '\0');
  head += static_cast<char>(machine);
  head += '\0';
  return head + std::string(64, '\0');
}

TEST(LibraryFailure, SaysWhatTheFileIs) {
#ifdef _WIN32
  GTEST_SKIP() << "the loader's words are the system's own there";
#endif
  const unsigned own_bits = sizeof(void*) * 8;
  const RefusedFile files[] = {
      {"empty.so", "", "it is empty ("},
      {"text.so", "not a library\n", "it is not a shared library: "},
      {"windows.so", "MZ" + std::string(200, '\0'), "it is a Windows DLL, "},
      {"other_bits.so", elf_head(own_bits == 64 ? 32 : 64, 3),
       own_bits == 64 ? "it is a 32-bit library, and this modtest is 64-bit ("
                      : "it is a 64-bit library, and this modtest is 32-bit ("},
  };
  std::filesystem::path folder = std::filesystem::temp_directory_path() / "modtest-refused";
  std::filesystem::create_directories(folder);
  for (const RefusedFile& file : files) {
    std::string path = (folder / file.name).string();
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.bytes.data(), 1, file.bytes.size(), out);
    std::fclose(out);
    ASSERT_EQ(load_library(path.c_str()), nullptr) << file.name;
    std::string reason = describe_library_failure(path.c_str());
    EXPECT_EQ(reason.rfind(file.words, 0), 0u) << file.name << ": " << reason;
  }
  std::filesystem::remove_all(folder);
}

}  // namespace
