// A module built for the other bitness, listed for a Windows modtest: a
// 64-bit library for the 32-bit tool, a 32-bit one for the 64-bit tool. It
// cannot load, so it prints NG like any library that does not load, and the
// run goes on: the next entry binds and answers. Each case needs the other
// build's probes (--other-probes) and runs only with the tool it names.

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

#include "expected_output.h"
#include "run_folder.h"

namespace {

const std::uint16_t kI386 = 0x014c;
const std::uint16_t kAmd64 = 0x8664;

// The machine field of a PE file's header, or 0 when it is not one.
std::uint16_t pe_machine(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  unsigned char bytes[6] = {};
  in.seekg(0x3c);
  in.read(reinterpret_cast<char*>(bytes), 4);
  const std::uint32_t header =
      bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24;
  in.seekg(header);
  in.read(reinterpret_cast<char*>(bytes), 6);
  if (!in || std::string(reinterpret_cast<char*>(bytes), 4) != std::string("PE\0\0", 4)) return 0;
  return static_cast<std::uint16_t>(bytes[4] | bytes[5] << 8);
}

struct BitnessCase {
  const char* name;
  std::uint16_t tool_machine;
};

void PrintTo(const BitnessCase& bitness_case, std::ostream* out) {
  *out << bitness_case.name;
}

const BitnessCase kCases[] = {
    {"SixtyFourBitModuleInThirtyTwoBitModtest", kI386},
    {"ThirtyTwoBitModuleInSixtyFourBitModtest", kAmd64},
};

class OtherBitness : public testing::TestWithParam<BitnessCase> {};

TEST_P(OtherBitness, PrintsNgAndTheRunGoesOn) {
  if (!RunFolder::has_other_probes()) GTEST_SKIP() << "needs the other Windows build's probes";
  RunFolder folder;
  if (pe_machine(folder.tool()) != GetParam().tool_machine) {
    GTEST_SKIP() << "a case for the other Windows build";
  }
  folder.write("test.ini", "string:hello\nsaori:w\n");
  folder.write("saori.ini", expand("other:other{X}\nw:w{X}\n", folder));
  folder.add_other_probe("world", "other");
  folder.add_probe("world", "w");

  int exit_code = -1;
  std::string output = folder.run(exit_code);
  EXPECT_EQ(output, expand("saori:\tw\nstring:\thello\n\n"
                           "NG\n{D}other{X}{F}\nname:other\npath:{D}other{X}\n" +
                               bound("w", "w") + exchange("hello", "world"),
                           folder));
  EXPECT_EQ(exit_code, 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, OtherBitness, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<BitnessCase>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
