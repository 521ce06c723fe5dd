#pragma once

// What the module host answers to each frame, whether the frames come over
// its pipes (host_server.cpp) or from the validator in the same process
// (--in-process). The answers, and the warnings and reports that go before
// them, are appended as frames to an output the caller writes.

#include <cstddef>
#include <string>
#include <vector>

#include "host/host_protocol.h"
#include "modules/module_registry.h"

struct HostState {
  std::string directory;  // where saori.ini is
  ModuleRegistry registry;
  bool bound = false;
  // Bound quietly: warnings go out as frames alone, for the parent to tell.
  bool quiet = false;
  std::string only_name;  // the one module bound, when the bind named one
  // The contract warnings of the frame being answered.
  std::vector<std::string> warnings;
  std::size_t warnings_heard = 0;
  // Of those, the warnings that a reply is no block of its own: the fuzz
  // loop goes on past them, as they say nothing of the request.
  std::size_t foreign_replies_heard = 0;
  // Frames a loop sends before its answer are written at once, not with
  // the answer: set by the host process, whose parent reads them even
  // when the loop ends in a fault.
  bool writes_frames_now = false;
  // The module unloaded last, for a report of what faults after its release.
  std::string released_name;
  std::string released_path;
};

// Makes `state` ready for `directory` and has the warnings about modules
// told to it from now on.
void start_host_state(HostState& state, const std::string& directory);

// Unloads what is bound and stops hearing warnings.
void end_host_state(HostState& state);

// Answers `frame`, appending the answer to `out`. False once the host is to
// end (a quit); every module has then had its unload.
bool serve_frame(HostState& state, const Frame& frame, std::string& out);

// Unloads and releases every module still bound.
void unload_host_modules(HostState& state);

// From here on a fault writes a kFaultPlace frame to standard output, after
// the fault's own line, and in a module call a kRequestAtFault frame: what
// the fault was and where, and the request then in the module's hands,
// which the parent would otherwise never know.
void report_request_at_fault();
// The request a fault in the next calls is to report; null for none.
void set_request_in_call(const char* bytes, std::size_t length);
// A loop's request in the module's hands and how many it sent before it:
// read at a fault, in the place of set_request_in_call's; null for none.
// `request` must not be reallocated while the module holds it.
void watch_loop_request(const std::string* request, const std::uint64_t* sent);

// The first this many warnings of a frame also go to standard error; a loop
// of many requests would otherwise repeat one warning a million times.
constexpr std::size_t kWarningsPrintedPerFrame = 3;
