#include "text/text_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "temp_folder.h"

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// Every chunk until the end of a file holding `bytes`, each checked against
// the contract of one read: at most size - 1 bytes, a NUL after them, a line
// feed only as the last byte, and no short chunk but at a line end.
std::vector<std::string> read_chunks(const std::string& bytes, std::size_t size) {
  TempFolder folder;
  folder.write("text", bytes);
  const fs::path path = folder.path() / "text";
  TextFile* file = open_text_file(path.string().c_str());
  std::vector<std::string> chunks;
  std::vector<char> buffer(size);
  bool short_without_line_feed = false;
  while (file != nullptr) {
    std::fill(buffer.begin(), buffer.end(), '?');
    std::size_t length = read_text_chunk(file, buffer.data(), size);
    if (length == 0) {
      // The end stays the end.
      EXPECT_EQ(read_text_chunk(file, buffer.data(), size), 0u);
      close_text_file(file);
      break;
    }
    // Only the end of the file cuts a chunk short in the middle of a line.
    EXPECT_FALSE(short_without_line_feed);
    short_without_line_feed = buffer[length - 1] != '\n' && length < size - 1;
    EXPECT_LT(length, size);
    EXPECT_EQ(buffer[length], '\0');
    chunks.emplace_back(buffer.data(), length);
    EXPECT_EQ(chunks.back().find('\n'),
              buffer[length - 1] == '\n' ? length - 1 : std::string::npos);
  }
  return chunks;
}

using Chunks = std::vector<std::string>;

TEST(TextFileRead, ChunksOfOneRead) {
  const struct {
    std::string bytes;
    std::size_t size;
    Chunks chunks;
  } rows[] = {
      {"abc\ndef\n", 128, {"abc\n", "def\n"}},
      {"abcdefg\n", 4, {"abc", "def", "g\n"}},
      {"abc", 128, {"abc"}},
      {"\n\n", 128, {"\n", "\n"}},
      {"a\r\nb\r\r\nc\rd", 128, {"a\n", "b\n", "cd"}},
      {"\r\r\r", 128, {}},
      {"a\r\r\r\r\rb\n", 4, {"ab\n"}},
      {"abc\rdef\n", 4, {"abc", "def", "\n"}},
      {"ab\rcd\n", 4, {"abc", "d\n"}},
      {"ab\x1Axy\nzz\n", 128, {"ab"}},
      {"abcdef\x1Agh", 4, {"abc", "def"}},
      {"a\n\x1Az\n", 128, {"a\n"}},
      {"\x1Azyx", 128, {}},
      {"a\0b\n\0"s, 128, {"a\0b\n"s, "\0"s}},
      {"", 128, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes) + " size " + std::to_string(row.size));
    EXPECT_EQ(read_chunks(row.bytes, row.size), row.chunks);
  }
}

TEST(TextFileRead, FileLargerThanTheReadBuffer) {
  // Lines that span the 64 KiB refills, one of them split between CR and LF.
  std::string bytes;
  auto fill_to = [&bytes](std::size_t size) {
    for (std::size_t i = bytes.size(); i < size; ++i) {
      bytes += i % 61 == 60 ? '\n' : i % 97 == 0 ? '\r' : static_cast<char>('a' + i % 26);
    }
  };
  fill_to(65500);
  bytes += std::string(100, 'L') + "\n";
  fill_to(2 * 65536 - 1);
  bytes += "\r\nlast line, no line feed";
  std::string expected;
  for (char byte : bytes) {
    if (byte != '\r') expected += byte;
  }
  std::string joined;
  for (const std::string& chunk : read_chunks(bytes, 128)) joined += chunk;
  EXPECT_EQ(joined.size(), expected.size());
  EXPECT_TRUE(joined == expected);

  // The end of the file comes from the 0x1A, not from the end of the buffer.
  EXPECT_EQ(read_chunks("ab\x1A" + std::string(70000, 'x'), 128), Chunks{"ab"});
}

}  // namespace
