#include "bench_files.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "bench_data.h"

namespace fs = std::filesystem;

namespace {

fs::path data_root;
bool root_is_temporary = false;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "cannot write %s\n", what.c_str());
  std::exit(1);
}

fs::path make_folder(const std::string& name) {
  if (data_root.empty()) {
    char pattern[] = "/tmp/modtest-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) fail(pattern);
    data_root = pattern;
    root_is_temporary = true;
  }
  fs::path folder = data_root / name;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) fail(folder.string());
  return folder;
}

// The tool and the parsers want a directory that ends in its separator.
std::string with_separator(const fs::path& folder) {
  return folder.string() + "/";
}

}  // namespace

void take_data_directory_flag(int* argc, char** argv) {
  int kept = 1;
  for (int index = 1; index < *argc; ++index) {
    if (std::strncmp(argv[index], "--data=", 7) == 0) {
      data_root = argv[index] + 7;
    } else {
      argv[kept++] = argv[index];
    }
  }
  *argc = kept;
}

std::string settings_file_directory(int file) {
  static std::map<int, std::string> folders;
  auto found = folders.find(file);
  if (found != folders.end()) return found->second;
  fs::path folder = make_folder(kSettingsFileNames[file]);
  // A file left by an earlier run is reused only when it is whole.
  fs::path path = folder / "test.ini";
  std::error_code error;
  if (fs::file_size(path, error) != kSettingsFileSize) {
    if (!write_settings_file(with_separator(folder), kSettingsFileNames[file])) {
      fail(path.string());
    }
  }
  return folders[file] = with_separator(folder);
}

std::string module_list_directory(int entries) {
  fs::path folder = make_folder("module-list-" + std::to_string(entries));
  std::error_code error;
  fs::copy_file(MODTEST_BENCH_MODULE, folder / "echo.so", fs::copy_options::overwrite_existing,
                error);
  if (error) fail((folder / "echo.so").string());
  std::ofstream list(folder / "saori.ini", std::ios::binary | std::ios::trunc);
  for (int entry = 0; entry < entries; ++entry) list << "m" << entry << " : echo.so\n";
  if (!list) fail((folder / "saori.ini").string());
  return with_separator(folder);
}

void remove_temporary_data() {
  if (!root_is_temporary) return;
  std::error_code error;
  fs::remove_all(data_root, error);
}
