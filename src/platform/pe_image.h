#pragma once

// What modtest reads from a Windows library file to say why it did not
// load: the processor it was built for and the libraries it imports. Plain
// byte parsing, so that it builds and is tested on every system.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

constexpr std::uint16_t kPeMachineX86 = 0x014c;
constexpr std::uint16_t kPeMachineX64 = 0x8664;

struct PeImage {
  std::uint16_t machine = 0;
  // The library names of the import table, in its order, as written there.
  std::vector<std::string> imports;
};

// Reads the headers and the import table from a file's bytes. Returns false
// when the bytes are no Windows program file: no "MZ" header, no "PE"
// signature, or headers cut short. An import table that is damaged or points
// outside the file gives the names read up to there.
bool read_pe_image(std::string_view bytes, PeImage& image);
