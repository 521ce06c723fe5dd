#include "validate/corpus_folder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "check/cases_file.h"
#include "check/cases_update.h"
#include "platform/files.h"
#include "validate/finding_file.h"

namespace {

constexpr const char kCorpusFolder[] = "modtest-corpus";
// Files are numbered without gaps; a run stops looking at this many.
constexpr unsigned kMostFiles = 100000;

std::string module_folder(const std::string& module) {
  return std::string(kCorpusFolder) + "/" + file_name_part(module);
}

std::string file_path(const std::string& module, unsigned number) {
  return module_folder(module) + "/" + std::to_string(number) + ".txt";
}

bool exists(const std::string& path) {
  std::FILE* file = open_binary_file(path.c_str());
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace

std::vector<std::string> load_corpus(const std::string& module) {
  std::vector<std::string> requests;
  for (unsigned number = 1; number < kMostFiles; ++number) {
    std::string path = file_path(module, number);
    if (!exists(path)) break;
    CasesFile file;
    std::vector<std::string> errors;
    if (read_cases_file(path, file, errors) != kCasesRead) continue;
    for (const CheckCase& one : file.cases) requests.emplace_back(file.view(one, one.request));
  }
  return requests;
}

std::size_t keep_corpus(const std::string& module, const std::vector<std::string>& requests,
                        std::string& why) {
  if (requests.empty()) return 0;
  std::string folder = module_folder(module);
  for (const std::string& path : {std::string(kCorpusFolder), folder}) {
    if (!make_directory(path.c_str())) {
      why = "the folder " + path + " could not be made: " + std::strerror(errno);
      return 0;
    }
  }
  std::size_t written = 0;
  unsigned number = 1;
  for (const std::string& request : requests) {
    std::string value;
    if (!encode_reply_value(request, value)) continue;
    std::string text = "module: " + module + "\nrequest: " + value + "\n";
    std::FILE* file = nullptr;
    for (; file == nullptr && number < kMostFiles; ++number) {
      file = create_new_file(file_path(module, number).c_str());
    }
    if (file == nullptr) {
      why = "no new file could be made in " + folder;
      return written;
    }
    bool whole = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (std::fclose(file) != 0 || !whole) {
      why = file_path(module, number - 1) + " could not be written";
      return written;
    }
    ++written;
  }
  return written;
}
