#include "fuzz_engine/image_sections.h"

#include <cstdint>

namespace {

bool fits(std::string_view image, std::uint64_t at, std::uint64_t width) {
  return at <= image.size() && width <= image.size() - at;
}

// A little-endian number of `width` bytes at `at`; the caller checked fits().
std::uint64_t number_at(std::string_view image, std::uint64_t at, unsigned width) {
  std::uint64_t value = 0;
  for (unsigned i = width; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(image[static_cast<std::size_t>(at + i)]);
  }
  return value;
}

// Adds the section unless it has no bytes in the file. Offsets are taken as
// 64-bit numbers, so a lying one cannot wrap on a 32-bit build.
void add_clipped(std::string_view image, std::string_view name, std::uint64_t offset,
                 std::uint64_t size, std::vector<ImageSection>& sections) {
  if (offset >= image.size() || size == 0) return;
  std::uint64_t room = image.size() - offset;
  sections.push_back(ImageSection{std::string(name), static_cast<std::size_t>(offset),
                                  static_cast<std::size_t>(size < room ? size : room)});
}

// Where the fields of an ELF file's header and section entries lie, which
// differ only in width between the two classes.
struct ElfLayout {
  unsigned word;  // 4 or 8: addresses, offsets and sizes
  std::uint64_t header_size, table_offset, entry_size_at, entry_count_at, names_index_at;
  std::uint64_t entry_size, offset_at, size_at;
};
constexpr ElfLayout kElf32 = {4, 52, 0x20, 0x2E, 0x30, 0x32, 40, 16, 20};
constexpr ElfLayout kElf64 = {8, 64, 0x28, 0x3A, 0x3C, 0x3E, 64, 24, 32};
// Both classes start an entry with its name and type, 4 bytes each.
// A section that takes no room in the file, as .bss does.
constexpr std::uint64_t kElfNoBits = 8;

bool is_elf_data_name(std::string_view name) {
  return name == ".rodata" || name == ".data" || name == ".data.rel.ro";
}

std::vector<ImageSection> elf_data_sections(std::string_view image) {
  std::vector<ImageSection> sections;
  // Byte 4 is the class, 32- or 64-bit; byte 5 the byte order.
  if (!fits(image, 0, 6) || image.substr(0, 4) != "\177ELF" || image[5] != 1) return sections;
  const ElfLayout* layout = image[4] == 1 ? &kElf32 : image[4] == 2 ? &kElf64 : nullptr;
  if (layout == nullptr || !fits(image, 0, layout->header_size)) return sections;
  const ElfLayout& elf = *layout;
  std::uint64_t table = number_at(image, elf.table_offset, elf.word);
  std::uint64_t stride = number_at(image, elf.entry_size_at, 2);
  std::uint64_t count = number_at(image, elf.entry_count_at, 2);
  std::uint64_t names_index = number_at(image, elf.names_index_at, 2);
  // A count of 0 with a table is how files of 65280 sections or more say the
  // count is elsewhere; no module has so many, so they are not read.
  if (stride < elf.entry_size || names_index >= count || !fits(image, table, stride * count)) {
    return sections;
  }
  std::uint64_t names_entry = table + names_index * stride;
  std::uint64_t names_offset = number_at(image, names_entry + elf.offset_at, elf.word);
  std::uint64_t names_size = number_at(image, names_entry + elf.size_at, elf.word);
  if (!fits(image, names_offset, names_size)) return sections;
  std::string_view names =
      image.substr(static_cast<std::size_t>(names_offset), static_cast<std::size_t>(names_size));

  for (std::uint64_t i = 0; i < count; ++i) {
    std::uint64_t entry = table + i * stride;
    std::uint64_t name_at = number_at(image, entry, 4);
    if (name_at >= names.size()) continue;
    std::string_view name = names.substr(static_cast<std::size_t>(name_at));
    name = name.substr(0, name.find('\0'));
    if (!is_elf_data_name(name) || number_at(image, entry + 4, 4) == kElfNoBits) continue;
    add_clipped(image, name, number_at(image, entry + elf.offset_at, elf.word),
                number_at(image, entry + elf.size_at, elf.word), sections);
  }
  return sections;
}

std::vector<ImageSection> pe_data_sections(std::string_view image) {
  std::vector<ImageSection> sections;
  if (!fits(image, 0, 64) || image.substr(0, 2) != "MZ") return sections;
  std::uint64_t signature = number_at(image, 0x3C, 4);
  constexpr std::uint64_t kFileHeaderSize = 20;
  if (!fits(image, signature, 4 + kFileHeaderSize) ||
      image.substr(static_cast<std::size_t>(signature), 4) != std::string_view("PE\0\0", 4)) {
    return sections;
  }
  std::uint64_t header = signature + 4;
  std::uint64_t count = number_at(image, header + 2, 2);
  std::uint64_t optional_size = number_at(image, header + 16, 2);
  std::uint64_t optional = header + kFileHeaderSize;
  if (optional_size < 2 || !fits(image, optional, optional_size)) return sections;
  std::uint64_t magic = number_at(image, optional, 2);
  if (magic != 0x10b && magic != 0x20b) return sections;
  constexpr std::uint64_t kEntrySize = 40;
  std::uint64_t table = optional + optional_size;
  if (!fits(image, table, count * kEntrySize)) return sections;

  for (std::uint64_t i = 0; i < count; ++i) {
    std::size_t entry = static_cast<std::size_t>(table + i * kEntrySize);
    // Eight bytes, padded with NULs but not ended by one when all are used.
    std::string_view name = image.substr(entry, 8);
    name = name.substr(0, name.find('\0'));
    if (name != ".rdata" && name != ".data") continue;
    add_clipped(image, name, number_at(image, entry + 20, 4), number_at(image, entry + 16, 4),
                sections);
  }
  return sections;
}

}  // namespace

std::vector<ImageSection> find_data_sections(std::string_view image) {
  // The two kinds start with different bytes, so at most one reads any.
  std::vector<ImageSection> sections = elf_data_sections(image);
  if (sections.empty()) sections = pe_data_sections(image);
  return sections;
}
