#include "platform/library_failure_win32.h"

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/pe_image.h"

namespace {

#if defined(_WIN64)
constexpr std::uint16_t kOwnMachine = kPeMachineX64;
#else
constexpr std::uint16_t kOwnMachine = kPeMachineX86;
#endif

bool same_text_ignoring_case(const std::string& a, const std::string& b, std::size_t length) {
  if (a.size() < length || b.size() < length) return false;
  return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(length),
                        b.data(), static_cast<int>(length)) == CSTR_EQUAL;
}

// Reads a library file whole; false for what is not a file on a disk, such
// as a device whose reads would wait for a keyboard.
bool read_library_file(const std::string& path, std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // Headers and import tables lie at the start of any library this size.
  constexpr DWORD kMostRead = 64 * 1024 * 1024;
  LARGE_INTEGER size;
  bool readable = GetFileType(file) == FILE_TYPE_DISK && GetFileSizeEx(file, &size);
  if (readable) {
    bytes.resize(size.QuadPart < kMostRead ? static_cast<std::size_t>(size.QuadPart) : kMostRead);
    DWORD read = 0;
    readable = bytes.empty() ||
               ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(readable ? read : 0);
  }
  CloseHandle(file);
  return readable;
}

const char* bitness(std::uint16_t machine) {
  return machine == kPeMachineX86 ? "32-bit" : "64-bit";
}

// Plain words for a library built for other processors than this modtest.
std::string other_machine(std::uint16_t machine) {
  bool known = machine == kPeMachineX86 || machine == kPeMachineX64;
  if (!known) {
    char words[96];
    std::snprintf(words, sizeof words,
                  "it is built for another kind of processor (machine type 0x%04x)",
                  static_cast<unsigned>(machine));
    return words;
  }
  const char* package = machine == kPeMachineX86 ? "win32" : "win64";
  return std::string("it is a ") + bitness(machine) + " module and this modtest is " +
         bitness(kOwnMachine) + ": use the " + package + " package, modtest-" MODTEST_VERSION "-" +
         package + ".zip";
}

// Looks up the libraries a module imports the way the loader does, and
// names the first one it would not find. The folders are searched in the
// loader's order; libraries found outside the Windows folder are followed
// to the libraries they import in turn.
class DependencySearch {
 public:
  explicit DependencySearch(const std::string& module_path) {
    folders_ = folder_of(module_path);
    std::string program;
    if (get_executable_path(program)) folders_ += ";" + folder_of(program);
    char system[MAX_PATH];
    UINT length = GetSystemDirectoryA(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) folders_ += ";" + std::string(system, length);
    length = GetWindowsDirectoryA(system, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
      windows_ = std::string(system, length);
      folders_ += ";" + windows_;
    }
    folders_ += ";.";
    DWORD needed = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (needed > 1) {
      std::string path(needed, '\0');
      DWORD got = GetEnvironmentVariableA("PATH", &path[0], needed);
      if (got > 0 && got < needed) folders_ += ";" + path.substr(0, got);
    }
  }

  // "it needs a.dll, which needs b.dll, which was not found", or empty
  // when every library is there.
  std::string first_missing(const PeImage& image, int depth) {
    constexpr int kDeepest = 8;
    for (const std::string& name : image.imports) {
      // API set names stand for parts of the system, resolved without a file.
      if (same_text_ignoring_case(name, "api-ms-", 7) ||
          same_text_ignoring_case(name, "ext-ms-", 7)) {
        continue;
      }
      if (GetModuleHandleA(name.c_str()) != nullptr || !first_visit(name)) continue;
      std::string found = find(name);
      if (found.empty()) return "it needs " + name + ", which was not found";
      if (depth == kDeepest || same_text_ignoring_case(found, windows_, windows_.size())) continue;
      std::string bytes;
      PeImage needed;
      if (!read_library_file(found, bytes) || !read_pe_image(bytes, needed)) continue;
      if (needed.machine != kOwnMachine) {
        return "it needs " + name + ", and the one found, " + found + ", is " +
               (needed.machine == kPeMachineX86 || needed.machine == kPeMachineX64
                    ? std::string(bitness(needed.machine))
                    : std::string("for another processor"));
      }
      std::string deeper = first_missing(needed, depth + 1);
      if (!deeper.empty()) return "it needs " + name + ", which " + deeper.substr(3);
    }
    return std::string();
  }

 private:
  bool first_visit(const std::string& name) {
    for (const std::string& seen : visited_) {
      if (seen.size() == name.size() && same_text_ignoring_case(seen, name, name.size())) {
        return false;
      }
    }
    visited_.push_back(name);
    return true;
  }

  std::string find(const std::string& name) const {
    std::string found(MAX_PATH, '\0');
    for (;;) {
      DWORD length = SearchPathA(folders_.c_str(), name.c_str(), nullptr,
                                 static_cast<DWORD>(found.size()), &found[0], nullptr);
      if (length == 0) return std::string();
      if (length < found.size()) return found.substr(0, length);
      found.resize(length);
    }
  }

  std::string folders_;
  std::string windows_;
  std::vector<std::string> visited_;
};

}  // namespace

std::string folder_of(const std::string& path) {
  std::size_t last = path.find_last_of("\\/");
  return last == std::string::npos ? std::string() : path.substr(0, last + 1);
}

std::string system_message(unsigned long error) {
  std::string words = "system error " + std::to_string(error);
  char* text = nullptr;
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  if (length == 0) return words;
  // One line: the message's own line ends and runs of blanks become one
  // space, and the places left for a name ("%1") say "the file".
  words += ": ";
  for (DWORD i = 0; i < length; ++i) {
    if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') {
      words += "the file";
      ++i;
      continue;
    }
    char byte = text[i] == '\r' || text[i] == '\n' || text[i] == '\t' ? ' ' : text[i];
    if (byte != ' ' || words.back() != ' ') words += byte;
  }
  while (words.back() == ' ') words.pop_back();
  LocalFree(text);
  return words;
}

std::string explain_load_failure(const std::string& path, unsigned long load_error) {
  if (path.empty()) return "the module list gives no path";
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    DWORD error = GetLastError();
    bool absent = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    return absent ? "the file is not there" : std::string();
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return "it is a folder, not a library file";
  std::string bytes;
  if (!read_library_file(path, bytes)) return "it is not a regular file";
  PeImage image;
  if (!read_pe_image(bytes, image)) {
    return "the file is not a library: it does not start with a Windows program header";
  }
  if (image.machine != kOwnMachine) return other_machine(image.machine);
  if (load_error != ERROR_MOD_NOT_FOUND) return std::string();
  return DependencySearch(path).first_missing(image, 0);
}
