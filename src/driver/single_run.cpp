#include "driver/single_run.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "driver/program_directory.h"
#include "modules/host_memory.h"
#include "modules/module_registry.h"
#include "settings/settings_reader.h"
#include "text/messages.h"

namespace {

// Reads and reports the settings, and takes the request text and the name
// of the module to send it to.
void run_settings_phase(const std::string& directory, std::string& request_text,
                        std::string& module_name) {
  SettingsStore store;
  SettingsReader reader;
  reader.read_settings(store, directory);
  dump_settings(store, std::cout);
  std::cout << "\n";
  take_setting(store, request_text, "string");
  get_setting(store, module_name, "saori");
}

// Binds the listed modules, sends the one request and prints it with the
// reply, then releases everything.
void run_request_phase(const std::string& directory, std::string& request_text,
                       const std::string& module_name) {
  ModuleRegistry registry;
  init_registry(&registry);
  load_module_list(&registry, directory.c_str());

  // The request is a C string: it ends at its first NUL byte, if any.
  std::size_t length = std::min(request_text.find('\0'), request_text.size());
  char* buffer = host_copy_bytes(request_text.data(), length);
  std::string().swap(request_text);  // the buffer is the one copy needed from here
  if (buffer == nullptr) {
    std::fputs(kRequestAllocError, stdout);
  } else {
    std::fputs(kRequestHeading, stdout);
    std::fwrite(buffer, 1, length, stdout);
    std::fputs("\n", stdout);
    send_request(&registry, module_name.c_str(), &buffer, &length);
    std::fputs(kReplyHeading, stdout);
    std::fwrite(buffer, 1, length, stdout);
    std::fputs("\n", stdout);
    host_release(buffer);
  }

  unload_all_modules(&registry);
  end_registry(&registry);
}

}  // namespace

int run_single() {
  std::string directory;
  std::string request_text;
  std::string module_name;
  get_program_directory(directory);
  run_settings_phase(directory, request_text, module_name);
  run_request_phase(directory, request_text, module_name);
  std::fflush(stdout);
  return 0;
}
