#include "platform/pe_image.h"

#include <cstddef>

namespace {

constexpr std::size_t kNowhere = static_cast<std::size_t>(-1);
// No library name the loader takes is longer; a longer run of bytes without
// a NUL is damage.
constexpr std::size_t kLongestName = 260;

bool fits(std::string_view bytes, std::size_t at, std::size_t width) {
  return at <= bytes.size() && width <= bytes.size() - at;
}

// A little-endian number of `width` bytes at `at`; the caller checked fits().
std::uint32_t number_at(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t i = width; i-- > 0;) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return value;
}

struct Section {
  std::uint32_t address;
  std::uint32_t size;
  std::uint32_t file_offset;
  std::uint32_t file_size;
};

// Where the loaded image's address `rva` lies in the file, and how many
// bytes of the file from there belong to it; kNowhere when none do.
struct Place {
  std::size_t offset = kNowhere;
  std::size_t length = 0;
};

class ImageMap {
 public:
  ImageMap(std::string_view bytes, std::uint32_t header_size) : bytes_(bytes) {
    header_size_ = header_size < bytes.size() ? header_size : bytes.size();
  }
  void add(const Section& section) { sections_.push_back(section); }

  Place place(std::uint32_t rva) const {
    Place place;
    if (rva < header_size_) {
      place.offset = rva;
      place.length = header_size_ - rva;
      return place;
    }
    for (const Section& section : sections_) {
      std::uint32_t size = section.size > section.file_size ? section.size : section.file_size;
      if (rva < section.address || rva - section.address >= size) continue;
      std::uint32_t into = rva - section.address;
      if (into >= section.file_size || section.file_offset >= bytes_.size()) return place;
      std::size_t end = std::size_t{section.file_offset} + section.file_size;
      if (end > bytes_.size()) end = bytes_.size();
      place.offset = std::size_t{section.file_offset} + into;
      if (place.offset >= end) return Place();
      place.length = end - place.offset;
      return place;
    }
    return place;
  }

 private:
  std::string_view bytes_;
  std::size_t header_size_;
  std::vector<Section> sections_;
};

// The NUL-terminated name at `rva`; empty when it is not wholly in the file.
std::string name_at(std::string_view bytes, const ImageMap& map, std::uint32_t rva) {
  Place place = map.place(rva);
  if (place.offset == kNowhere) return std::string();
  std::size_t limit = place.length < kLongestName ? place.length : kLongestName;
  std::string_view text = bytes.substr(place.offset, limit);
  std::size_t end = text.find('\0');
  return end == std::string_view::npos ? std::string() : std::string(text.substr(0, end));
}

void read_imports(std::string_view bytes, const ImageMap& map, std::uint32_t table,
                  std::vector<std::string>& imports) {
  constexpr std::uint32_t kDescriptorSize = 20;
  // Every descriptor takes 20 bytes of the file, so no more can be read;
  // the bound keeps a crafted table from looping over the same bytes.
  std::size_t most = bytes.size() / kDescriptorSize;
  for (std::size_t i = 0; i < most; ++i) {
    Place place = map.place(table + static_cast<std::uint32_t>(i * kDescriptorSize));
    if (place.offset == kNowhere || place.length < kDescriptorSize) return;
    // The list ends with a descriptor that names no library.
    std::uint32_t name_rva = number_at(bytes, place.offset + 12, 4);
    if (name_rva == 0) return;
    std::string name = name_at(bytes, map, name_rva);
    if (name.empty()) return;
    imports.push_back(std::move(name));
  }
}

}  // namespace

bool read_pe_image(std::string_view bytes, PeImage& image) {
  image = PeImage();
  if (!fits(bytes, 0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return false;
  std::size_t signature = number_at(bytes, 0x3C, 4);
  constexpr std::size_t kFileHeaderSize = 20;
  if (!fits(bytes, signature, 4 + kFileHeaderSize) ||
      bytes.substr(signature, 4) != std::string_view("PE\0\0", 4)) {
    return false;
  }
  std::size_t header = signature + 4;
  image.machine = static_cast<std::uint16_t>(number_at(bytes, header, 2));
  std::size_t section_count = number_at(bytes, header + 2, 2);
  std::size_t optional_size = number_at(bytes, header + 16, 2);
  std::size_t optional = header + kFileHeaderSize;
  if (!fits(bytes, optional, optional_size) || optional_size < 64) return true;

  // The directories follow the fields, which are wider in a 64-bit image.
  std::size_t fields;
  switch (number_at(bytes, optional, 2)) {
    case 0x10b:
      fields = 96;
      break;
    case 0x20b:
      fields = 112;
      break;
    default:
      return true;
  }
  constexpr std::size_t kImportDirectory = 1;
  if (optional_size < fields || number_at(bytes, optional + fields - 4, 4) <= kImportDirectory ||
      optional_size < fields + 8 * (kImportDirectory + 1)) {
    return true;
  }
  std::uint32_t import_table = number_at(bytes, optional + fields + 8 * kImportDirectory, 4);

  ImageMap map(bytes, number_at(bytes, optional + 60, 4));
  std::size_t sections = optional + optional_size;
  for (std::size_t i = 0; i < section_count && fits(bytes, sections + 40 * i, 40); ++i) {
    std::size_t at = sections + 40 * i;
    map.add(Section{number_at(bytes, at + 12, 4), number_at(bytes, at + 8, 4),
                    number_at(bytes, at + 20, 4), number_at(bytes, at + 16, 4)});
  }
  if (import_table != 0) read_imports(bytes, map, import_table, image.imports);
  return true;
}
