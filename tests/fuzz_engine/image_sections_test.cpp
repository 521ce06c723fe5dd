#include "fuzz_engine/image_sections.h"

#include <gtest/gtest.h>

#include <sstream>

#include "fuzz_engine/test_images.h"

namespace {

std::string patched(std::string bytes, std::uint64_t at, std::uint64_t value, int width) {
  put(bytes, at, value, width);
  return bytes;
}

// As "name offset size" in hex, one section after another.
std::string listed(const std::vector<ImageSection>& sections) {
  std::ostringstream text;
  for (const ImageSection& section : sections) {
    text << (text.tellp() > 0 ? ", " : "") << section.name << std::hex << ' ' << section.offset
         << ' ' << section.size;
  }
  return text.str();
}

const std::vector<TestSection> kElfSections = {
    {".text", 0x200, 0x40}, {".rodata", 0x240, 0x80},      {".data", 0x500, 0x100, kElfNoBits},
    {".data", 0x2C0, 0x20}, {".data.rel.ro", 0x300, 0x10},
};
const std::vector<TestSection> kPeSections = {
    {".text", 0x200, 0x40}, {".rdata", 0x240, 0x80}, {".data", 0x2C0, 0x20}};
const std::string kElf64 = test_elf(true, kElfSections);
const std::string kPe32 = test_pe(false, kPeSections);
const std::string kElfFound = ".rodata 240 80, .data 2c0 20, .data.rel.ro 300 10";
const std::string kPeFound = ".rdata 240 80, .data 2c0 20";
// ELF64 header fields; the PE section count.
constexpr std::uint64_t kShoff = 0x28, kShentsize = 0x3A, kShnum = 0x3C, kShstrndx = 0x3E;
constexpr std::uint64_t kPeCount = 0x46;

TEST(ImageSectionsTest, FindsDataSectionsAndRefusesLyingHeaders) {
  const struct {
    const char* what;
    std::string image;
    std::string expected;
  } cases[] = {
      {"ELF64", kElf64, kElfFound},
      {"ELF32", test_elf(false, kElfSections), kElfFound},
      {"PE32", kPe32, kPeFound},
      {"PE32+", test_pe(true, kPeSections), kPeFound},
      {"ELF sections past the end",
       test_elf(true, {{".rodata", 0x700, 0x1000},
                       {".data", 0x800, 0x10},
                       {".data", 0xFFFFFFFFFFFFFFF0, 0x20}}),
       ".rodata 700 100"},
      {"PE sections past the end",
       test_pe(true, {{".rdata", 0x700, 0x1000}, {".data", 0xFFFFFFF0, 0x20}}), ".rdata 700 100"},
      {"ELF name outside the names", patched(kElf64, kElfTable + 2 * 64, 0xFFFF, 4),
       ".data 2c0 20, .data.rel.ro 300 10"},
      {"ELF header cut short", kElf64.substr(0, 63), ""},
      {"ELF section table cut short", kElf64.substr(0, 0x7BF), ""},
      {"ELF huge count", patched(kElf64, kShnum, 0xFFFF, 2), ""},
      {"ELF table offset wraps", patched(kElf64, kShoff, 0xFFFFFFFFFFFFFFC0, 8), ""},
      {"ELF entries too small", patched(kElf64, kShentsize, 16, 2).substr(0, 0x670), ""},
      {"ELF names index past the table", patched(kElf64, kShstrndx, 7, 2).substr(0, 0x7C0), ""},
      {"ELF names past the end", patched(kElf64, kElfTable + 6 * 64 + 24, 0x7F0, 8), ""},
      {"ELF big-endian", patched(kElf64, 5, 2, 1), ""},
      {"PE huge count", patched(kPe32, kPeCount, 0xFFFF, 2), ""},
      {"PE signature past the end", patched(kPe32, 0x3C, 0xFFFFFFF0, 4), ""},
      {"PE section table cut short", kPe32.substr(0, 0x138 + 3 * 40 - 1), ""},
      {"PE optional header of no size", patched(kPe32, 0x54, 0, 2).substr(0, 0x58), ""},
      {"PE unknown optional header", patched(kPe32, 0x58, 0x107, 2), ""},
      {"text", "Just some text, long enough for a header to be read from it.......", ""},
      {"empty", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(listed(find_data_sections(c.image)), c.expected) << c.what;
  }
}

// Every header byte set to a value that lies, in the whole file and in one
// cut soon after: a section read must still lie wholly in the file.
TEST(ImageSectionsTest, StaysInsideDamagedFiles) {
  for (const std::string& image : {kElf64, test_elf(false, kElfSections), kPe32}) {
    for (std::size_t at = 0; at < image.size(); ++at) {
      if (at >= 0x200 && at < kElfTable) continue;
      for (std::size_t cut : {image.size(), at + 1 + (at * 7) % 64}) {
        std::string damaged = image.substr(0, cut);
        damaged[at] = static_cast<char>(0x7F ^ cut);
        for (const ImageSection& section : find_data_sections(damaged)) {
          ASSERT_TRUE(section.size > 0 && section.offset + section.size <= damaged.size())
              << listed({section}) << " in " << damaged.size() << " bytes, byte " << at;
        }
      }
    }
  }
}

}  // namespace
