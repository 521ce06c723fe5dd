#pragma once

// Small module files laid out byte by byte for the tests: headers, a section
// table and its names, and room between 0x200 and 0x600 for the sections'
// bytes, all in kTestImageSize bytes.

#include <cstdint>
#include <string>
#include <vector>

constexpr std::size_t kTestImageSize = 0x800;
constexpr std::uint64_t kElfNames = 0x100;
constexpr std::uint64_t kElfTable = 0x600;
constexpr std::uint32_t kElfNoBits = 8;

struct TestSection {
  std::string name;
  std::uint64_t offset;
  std::uint64_t size;
  std::uint32_t elf_type = 1;
};

inline void put(std::string& bytes, std::uint64_t at, std::uint64_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

// The section table lists a null entry, `sections`, then the names' own.
inline std::string test_elf(bool wide, const std::vector<TestSection>& sections) {
  std::string bytes(kTestImageSize, '\0');
  bytes.replace(0, 4, "\177ELF");
  bytes[4] = wide ? 2 : 1;
  bytes[5] = 1;  // little-endian
  int word = wide ? 8 : 4;
  std::uint64_t entry = wide ? 64 : 40;
  std::uint64_t count = sections.size() + 2;
  put(bytes, wide ? 0x28 : 0x20, kElfTable, word);
  put(bytes, wide ? 0x3A : 0x2E, entry, 2);
  put(bytes, wide ? 0x3C : 0x30, count, 2);
  put(bytes, wide ? 0x3E : 0x32, count - 1, 2);
  std::uint64_t name_at = 1;  // after the empty name of the null entry
  auto describe = [&](std::uint64_t index, const TestSection& section) {
    std::uint64_t at = kElfTable + index * entry;
    put(bytes, at, name_at, 4);
    put(bytes, at + 4, section.elf_type, 4);
    put(bytes, at + (wide ? 24 : 16), section.offset, word);
    put(bytes, at + (wide ? 32 : 20), section.size, word);
    bytes.replace(kElfNames + name_at, section.name.size(), section.name);
    name_at += section.name.size() + 1;
  };
  for (std::size_t i = 0; i < sections.size(); ++i) describe(i + 1, sections[i]);
  describe(count - 1, TestSection{".shstrtab", kElfNames, 0x100, 3});
  return bytes;
}

inline std::string test_pe(bool wide, const std::vector<TestSection>& sections) {
  std::string bytes(kTestImageSize, '\0');
  bytes.replace(0, 2, "MZ");
  put(bytes, 0x3C, 0x40, 4);
  bytes.replace(0x40, 4, std::string("PE\0\0", 4));
  std::uint64_t optional_size = wide ? 0xF0 : 0xE0;
  put(bytes, 0x44, wide ? 0x8664 : 0x14c, 2);
  put(bytes, 0x46, sections.size(), 2);
  put(bytes, 0x54, optional_size, 2);
  put(bytes, 0x58, wide ? 0x20b : 0x10b, 2);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    std::uint64_t at = 0x58 + optional_size + 40 * i;
    bytes.replace(at, sections[i].name.size(), sections[i].name);
    put(bytes, at + 16, sections[i].size, 4);
    put(bytes, at + 20, sections[i].offset, 4);
  }
  return bytes;
}
