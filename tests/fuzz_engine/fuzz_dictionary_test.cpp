#include "fuzz_engine/fuzz_dictionary.h"

#include <gtest/gtest.h>

#include "fuzz_engine/test_images.h"

namespace {

using namespace std::string_literals;
using Words = std::vector<std::string>;

std::string wide(const std::string& text) {
  std::string bytes;
  for (char c : text) bytes += c + "\0"s;
  return bytes;
}

std::string with(std::string image, std::size_t at, const std::string& bytes) {
  return image.replace(at, bytes.size(), bytes);
}

const std::vector<TestSection> kSections = {
    {".text", 0x200, 0x40}, {".data", 0x280, 0x40}, {".rodata", 0x240, 0x40}};
const std::vector<TestSection> kPeSections = {{".text", 0x200, 0x40}, {".rdata", 0x240, 0x40}};

TEST(FuzzDictionaryTest, TakesWordsFromSeedsListAndImage) {
  const struct {
    const char* what;
    std::string image;
    Words expected;
    Words seeds = {}, listed = {};
  } cases[] = {
      {"run and its pieces",
       "\x01Mode: fast=1,slow\x02",
       {"Mode: fast=1,slow", "Mode", "fast", "slow"}},
      {"UTF-16LE at odd and even offsets",
       "\x01" + wide("Shout") + "\x01" + wide("echo ab"),
       {"Shout", "echo ab", "echo", "ab"}},
      {"lengths",
       std::string(64, 'a') + "\0"s + std::string(65, 'b') + "\0x\0%1\0a1\0"s +
           std::string(40, 'c') + " " + std::string(40, 'd') + "\0"s + wide(std::string(65, 'e')),
       {std::string(64, 'a'), "a1"}},
      {"duplicates across sources",
       "beta\0delta\0gamma"s,
       {"alpha", "beta", "gamma", "delta"},
       {"alpha beta"},
       {"gamma", "alpha", ""}},
      {"seeds split", "", {"open", "a", "b", "c", "d", "x"}, {"open a=b,c:\r\nd\tx", "", "::"}},
      {"ELF data sections, read-only first",
       with(with(with(test_elf(true, kSections), 0x200, "hidden"), 0x280, "later"), 0x240, "shown"),
       {"shown", "later"}},
      {"PE data sections only",
       with(with(test_pe(false, kPeSections), 0x200, "hidden"), 0x240, wide("shown")),
       {"shown"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(build_fuzz_dictionary(c.seeds, c.listed, c.image).words(), c.expected) << c.what;
  }
}

TEST(FuzzDictionaryTest, KeepsTheFirstWordsUpToTheCap) {
  std::string seed;
  for (int i = 0; i < 5000; ++i) seed += "w" + std::to_string(i) + " ";
  Words words = build_fuzz_dictionary({seed}, {"listed"}, "image\0"s).words();
  ASSERT_EQ(words.size(), FuzzDictionary::kMostWords);
  EXPECT_EQ(words.front(), "w0");
  EXPECT_EQ(words.back(), "w4095");
}

}  // namespace
