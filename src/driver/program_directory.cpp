#include "driver/program_directory.h"

#include "platform/files.h"

std::string directory_of(const std::string& path, char separator) {
  std::size_t last = path.rfind(separator);
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

int get_program_directory(std::string& directory) {
  std::string path;
  get_executable_path(path);
  directory = directory_of(path, kPathSeparator);
  return 1;
}
