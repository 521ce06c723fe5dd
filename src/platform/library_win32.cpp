#include <windows.h>

#include <string>

#include "platform/initialisation_watch_win32.h"
#include "platform/library.h"
#include "platform/library_failure_win32.h"

namespace {

// What the last failed load_library left in GetLastError, before anything
// printed since could change it.
DWORD last_load_error = 0;

// The system takes a module's folder from its path only when the path is
// written with backslashes.
std::string with_backslashes(const char* path) {
  std::string converted = path;
  for (char& byte : converted) {
    if (byte == '/') byte = '\\';
  }
  return converted;
}

}  // namespace

LibraryHandle load_library(const char* path) {
  std::string full_path = with_backslashes(path);
  // No dialog box: a run must never wait for a click.
  DWORD mode = 0;
  SetThreadErrorMode(SEM_FAILCRITICALERRORS, &mode);
  // The module's own folder first, for the libraries it brings along. The
  // ordinary search, which starts in modtest's folder, is tried as well when
  // a library it needs is not found: only a failed search leaves nothing to
  // undo, because no code of the module has run.
  bool has_folder = !folder_of(full_path).empty();
  watch_library_initialisation();
  HMODULE library =
      LoadLibraryExA(full_path.c_str(), nullptr, has_folder ? LOAD_WITH_ALTERED_SEARCH_PATH : 0);
  if (library == nullptr && has_folder && GetLastError() == ERROR_MOD_NOT_FOUND) {
    library = LoadLibraryExA(full_path.c_str(), nullptr, 0);
  }
  last_load_error = library == nullptr ? GetLastError() : 0;
  end_library_initialisation_watch(library == nullptr);
  SetThreadErrorMode(mode, nullptr);
  return library;
}

LibraryEntry find_library_entry(LibraryHandle library, const char* name) {
  return reinterpret_cast<LibraryEntry>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::string describe_library_failure(const char* path) {
  std::string words = explain_load_failure(with_backslashes(path), last_load_error);
  std::string system = system_message(last_load_error);
  return words.empty() ? system : words + " (" + system + ")";
}

int free_library(LibraryHandle library) {
  return FreeLibrary(static_cast<HMODULE>(library)) ? 1 : 0;
}
