#include "platform/pe_image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace {

void put(std::string& bytes, std::size_t at, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// Where the parts of the crafted image lie.
constexpr std::size_t kFileHeader = 0x44;
constexpr std::size_t kOptional = kFileHeader + 20;
constexpr std::size_t kSectionFile = 0x200;
constexpr std::uint32_t kSectionAddress = 0x1000;
constexpr std::uint32_t kNames = 0x100;  // into the section

// The smallest library file as a linker lays it out: headers, then one
// section holding the import descriptors and the names they point to.
std::string library_image(bool wide, std::vector<std::string> imports) {
  std::string bytes(0x400, '\0');
  bytes.replace(0, 2, "MZ");
  put(bytes, 0x3C, 0x40, 4);
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  put(bytes, kFileHeader, wide ? 0x8664 : 0x14c, 2);
  put(bytes, kFileHeader + 2, 1, 2);
  std::size_t optional_size = wide ? 0xF0 : 0xE0;
  put(bytes, kFileHeader + 16, static_cast<std::uint32_t>(optional_size), 2);
  put(bytes, kOptional, wide ? 0x20b : 0x10b, 2);
  put(bytes, kOptional + 60, kSectionFile, 4);
  std::size_t directories = kOptional + (wide ? 112 : 96);
  put(bytes, directories - 4, 16, 4);
  put(bytes, directories + 8, kSectionAddress, 4);
  std::size_t section = kOptional + optional_size;
  bytes.replace(section, 6, ".idata");
  put(bytes, section + 8, 0x200, 4);
  put(bytes, section + 12, kSectionAddress, 4);
  put(bytes, section + 16, 0x200, 4);
  put(bytes, section + 20, kSectionFile, 4);
  std::size_t name = kNames;
  for (std::size_t i = 0; i < imports.size(); ++i) {
    put(bytes, kSectionFile + 20 * i + 12, kSectionAddress + static_cast<std::uint32_t>(name), 4);
    bytes.replace(kSectionFile + name, imports[i].size(), imports[i]);
    name += imports[i].size() + 1;
  }
  return bytes;
}

struct Row {
  const char* what;
  std::string bytes;
  bool is_image;
  std::uint16_t machine;
  std::vector<std::string> imports;
};

std::string changed(std::string bytes, const std::function<void(std::string&)>& change) {
  change(bytes);
  return bytes;
}

TEST(PeImage, MachineAndImportsOfCraftedFiles) {
  const std::vector<std::string> two = {"beside.dll", "KERNEL32.dll"};
  const std::string wide = library_image(true, two);
  const Row rows[] = {
      {"64-bit library", wide, true, 0x8664, two},
      {"32-bit library", library_image(false, two), true, 0x14c, two},
      {"no imports", library_image(true, {}), true, 0x8664, {}},
      {"import table not in the file",
       changed(wide, [](std::string& b) { put(b, kOptional + 120, 0x9000, 4); }),
       true,
       0x8664,
       {}},
      {"import table given as absent",
       changed(wide, [](std::string& b) { put(b, kOptional + 120, 0, 4); }),
       true,
       0x8664,
       {}},
      {"only one directory",
       changed(wide, [](std::string& b) { put(b, kOptional + 108, 1, 4); }),
       true,
       0x8664,
       {}},
      {"unknown optional header",
       changed(wide, [](std::string& b) { put(b, kOptional, 0x107, 2); }),
       true,
       0x8664,
       {}},
      {"optional header cut short", wide.substr(0, kOptional + 100), true, 0x8664, {}},
      {"second name runs past the end of the file",
       wide.substr(0, kSectionFile + kNames + 14),
       true,
       0x8664,
       {"beside.dll"}},
      {"name without its NUL",
       changed(
           wide,
           [](std::string& b) { b.replace(kSectionFile + kNames + 11, 0x100 - 11, 0xF5, 'x'); }),
       true,
       0x8664,
       {"beside.dll"}},
      {"descriptors to the end of the section, naming a name in the headers",
       changed(wide,
               [](std::string& b) {
                 b.replace(0x180, 9, std::string("edge.dll\0", 9));
                 for (std::size_t at = 0; at + 20 <= 0x200; at += 20) {
                   put(b, kSectionFile + at + 12, 0x180, 4);
                 }
               }),
       true, 0x8664, std::vector<std::string>(0x200 / 20, "edge.dll")},
      {"signature not PE", changed(wide, [](std::string& b) { b[0x41] = 'X'; }), false, 0, {}},
      {"signature beyond the end",
       changed(wide, [](std::string& b) { put(b, 0x3C, 0x3FE, 4); }),
       false,
       0,
       {}},
      {"no MZ", changed(wide, [](std::string& b) { b[0] = 'Z'; }), false, 0, {}},
      {"text file", "hello, this is not a library\n", false, 0, {}},
      {"empty file", "", false, 0, {}},
  };
  for (const Row& row : rows) {
    PeImage image;
    image.machine = 1;
    image.imports = {"left over"};
    EXPECT_EQ(read_pe_image(row.bytes, image), row.is_image) << row.what;
    EXPECT_EQ(image.machine, row.machine) << row.what;
    EXPECT_EQ(image.imports, row.imports) << row.what;
  }
}

}  // namespace
