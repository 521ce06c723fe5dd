#pragma once

// The modules of an interactive session, bound in a child host: a fault in
// a module ends that child, is reported, and the modules are bound again in
// a new one. The first fault gives the session's exit code.

#include <string>
#include <string_view>
#include <vector>

#include "host/host_client.h"

class ModuleSession {
 public:
  // `timeout_seconds` is how long the child gets for each answer.
  explicit ModuleSession(double timeout_seconds) : timeout_seconds_(timeout_seconds) {}
  ~ModuleSession() { release(); }

  // Starts a child host and binds saori.ini's modules in it. False, said on
  // standard error, when no modules are bound after all.
  bool bind();
  // Unloads and releases every module and ends the child.
  void release();
  // Gives the modules bound from now on a guarded heap for every request.
  void guard() { guard_ = true; }

  // Sends one request. A child that ended in it is reported, and the
  // modules are bound again; rebound() then says so.
  HostReply request(std::string_view module, std::string_view bytes);
  // The child's resident memory in bytes; false when it could not say.
  bool resident_memory(std::uint64_t& resident);

  bool bound() const { return host_.running(); }
  const std::vector<BoundModule>& modules() const { return modules_; }
  bool lists(std::string_view name) const;
  // Whether the modules were bound anew since the last call: their state is
  // lost.
  bool take_rebound();
  // 3, 4 or 5 by the first fault of the session; 0 while there was none.
  int fault_exit_code() const { return fault_exit_code_; }

 private:
  void note_end(const char* when);

  double timeout_seconds_;
  ModuleHost host_;
  std::vector<BoundModule> modules_;
  bool rebound_ = false;
  bool guard_ = false;
  int fault_exit_code_ = 0;
};
