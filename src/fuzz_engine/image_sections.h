#pragma once

// Where a module file keeps its constant data, found from the file's own
// headers, so that the fuzzer takes its words from there and not from code.
// Plain byte parsing: it runs on any file on any system.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

struct ImageSection {
  std::string name;
  // Within the file; offset + size never passes its end.
  std::size_t offset = 0;
  std::size_t size = 0;
};

// The data sections of a module file in the order its section table lists
// them: .rodata, .data and .data.rel.ro of a little-endian ELF file (32- or
// 64-bit), .rdata and .data of a PE32 or PE32+ file. A section that runs past
// the end of the file is cut to it; one with no bytes in the file is left
// out. Bytes of no such file, or whose headers place the section table or its
// names outside the file, give none.
std::vector<ImageSection> find_data_sections(std::string_view image);
