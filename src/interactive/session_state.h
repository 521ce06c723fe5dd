#pragma once

// What an interactive session keeps from one line to the next.

#include <string>

#include "interactive/exchange_log.h"
#include "interactive/module_session.h"

struct SessionState {
  explicit SessionState(double timeout_seconds) : modules(timeout_seconds) {}

  ModuleSession modules;
  ExchangeLog log;
  std::string wanted;   // test.ini's saori, which :reload looks for again
  std::string current;  // the module requests go to; empty when none is listed
  bool has_last = false;
  std::string last_module;  // the last request, for :repeat
  std::string last_request;
};

// Sends one request to the current module and prints its reply.
void send_request(SessionState& state, const std::string& request);
// Runs one command; false when it ends the session.
bool run_command(SessionState& state, const std::string& name, const std::string& argument);
// Binds the modules and picks the current one.
void bind_modules(SessionState& state);
