#include <windows.h>

#include <cstdio>

#include "platform/files.h"

const char kPathSeparator = '\\';

bool ends_directory(char byte) {
  return byte == '\\' || byte == '/';
}

int get_executable_path(std::string& path) {
  std::string buffer(260, '\0');
  for (;;) {
    DWORD length = GetModuleFileNameA(nullptr, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (length == 0) {
      path.clear();
      return 0;
    }
    // A result that fills the whole buffer means the path was cut.
    if (length < buffer.size()) {
      buffer.resize(length);
      path = buffer;
      return 1;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::FILE* open_binary_file(const char* path) {
  return std::fopen(path, "rb");
}

int replace_file(const char* from, const char* to) {
  return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 1 : 0;
}
