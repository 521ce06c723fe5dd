#include "modules/module_warning.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "modules/module_name_match.h"
#include "platform/library.h"

namespace {

const char* or_blank(const char* text) {
  return text != nullptr ? text : "";
}

// `text` shortened and made safe for one line of a message: control bytes
// and quotes become '?', and a long text ends in "...".
void copy_for_message(char* out, std::size_t size, const char* text) {
  std::size_t at = 0;
  for (; text[at] != '\0' && at + 4 < size; ++at) {
    unsigned char byte = static_cast<unsigned char>(text[at]);
    out[at] = byte < 0x20 || byte == 0x7F || byte == '"' ? '?' : text[at];
  }
  if (text[at] != '\0') {
    std::memcpy(out + at, "...", 3);
    at += 3;
  }
  out[at] = '\0';
}

ModuleWarningListener listener = nullptr;

constexpr const char kReplyIsRequest[] =
    "so the request went to no module and the reply shown is the request itself";

}  // namespace

void warn_about_module(const ModuleRecord* record, const char* format, ...) {
  // One buffer and one write: stderr is unbuffered, and a line written in
  // pieces could be split by what a module writes there itself.
  char line[1024];
  std::va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(line, sizeof line, format, arguments);
  va_end(arguments);
  if (listener != nullptr && !listener(record, line)) return;
  std::fprintf(stderr, "modtest: module %s (%s) %s\n", or_blank(record->name),
               or_blank(record->path), line);
}

void listen_to_module_warnings(ModuleWarningListener new_listener) {
  listener = new_listener;
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

void warn_about_unanswered_request(const ModuleRecord* head, const ModuleRecord* record,
                                   const char* name) {
  char shown[128];
  copy_for_message(shown, sizeof shown, name);
  char suggestion[160] = "";
  const ModuleRecord* closest = record == nullptr ? closest_module_name(head, name) : nullptr;
  if (closest != nullptr && name[0] != '\0') {
    char closest_name[128];
    copy_for_message(closest_name, sizeof closest_name, closest->name);
    std::snprintf(suggestion, sizeof suggestion, "; did you mean \"%s\"?", closest_name);
  }
  // One buffer and one write, as for every warning.
  char line[640];
  if (record != nullptr) {
    std::snprintf(line, sizeof line,
                  "modtest: module \"%s\" is listed, but its library did not load, %s\n", shown,
                  kReplyIsRequest);
  } else if (name[0] == '\0') {
    std::snprintf(line, sizeof line,
                  "modtest: the settings name no module (saori is empty or missing), %s\n",
                  kReplyIsRequest);
  } else {
    std::snprintf(line, sizeof line,
                  "modtest: no module listed in saori.ini is named \"%s\", %s%s\n", shown,
                  kReplyIsRequest, suggestion);
  }
  std::fputs(line, stderr);
}

void warn_about_list_byte_order_mark() {
  std::fputs(
      "modtest: saori.ini line 1: the file begins with a UTF-8 byte-order mark, whose "
      "three invisible bytes (EF BB BF) become part of the first module's name; save the "
      "file without the mark\n",
      stderr);
}
