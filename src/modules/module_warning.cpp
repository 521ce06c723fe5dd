#include "modules/module_warning.h"

#include <cstdarg>
#include <cstdio>

namespace {

const char* or_blank(const char* text) {
  return text != nullptr ? text : "";
}

}  // namespace

void warn_about_module(const ModuleRecord* record, const char* format, ...) {
  // One buffer and one write: stderr is unbuffered, and a line written in
  // pieces could be split by what a module writes there itself.
  char line[1024];
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  std::fprintf(stderr, "modtest: module %s (%s) %s\n", or_blank(record->name),
               or_blank(record->path), line);
}

int warn_about_decorated_export(const ModuleRecord* record, const char* entry, int argument_bytes) {
  for (const char* form : {"_%s@%d", "%s@%d"}) {
    char name[64];
    std::snprintf(name, sizeof name, form, entry, argument_bytes);
    if (find_library_entry(record->library, name) != nullptr) {
      warn_about_module(record,
                        "exports %s only as \"%s\", the stdcall name: declare it with "
                        "MODTEST_CALL (cdecl) and export it undecorated",
                        entry, name);
      return 1;
    }
  }
  return 0;
}
