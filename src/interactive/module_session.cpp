#include "interactive/module_session.h"

#include <cstdio>

#include "run_terms/exit_code.h"

namespace {

// How the end of a child is counted: as a plain run would have ended.
int exit_code_of(const HostEnd& end) {
  if (end.kind == HostEnd::kNoAnswer) return kExitModuleTimedOut;
  if (end.kind == HostEnd::kExited &&
      (end.code == kExitModuleTimedOut || end.code == kExitModuleEndedProcess)) {
    return static_cast<int>(end.code);
  }
  return kExitModuleCrashed;
}

}  // namespace

void ModuleSession::note_end(const char* when) {
  const HostEnd& end = host_.end();
  if (fault_exit_code_ == 0) fault_exit_code_ = exit_code_of(end);
  std::fprintf(stderr, "modtest: the module host %s %s\n", describe_host_end(end).c_str(), when);
  FaultReport report;
  if (host_.fault_report(report) && !report.guard_words.empty()) {
    std::fprintf(stderr, "modtest: the module %s%s%s\n", report.guard_words.c_str(),
                 report.place.empty() ? "" : " at ", report.place.c_str());
  }
  modules_.clear();
}

bool ModuleSession::bind() {
  modules_.clear();
  if (!host_.start()) {
    std::fputs("modtest: the module host could not be started; no module is bound\n", stderr);
    return false;
  }
  if ((!guard_ || host_.guard(1, timeout_seconds_)) && host_.bind(timeout_seconds_, modules_)) {
    return true;
  }
  note_end("while the modules were bound; none is bound now, :reload tries again");
  return false;
}

void ModuleSession::release() {
  if (!host_.running()) return;
  modules_.clear();
  HostEnd end = host_.stop(timeout_seconds_);
  if (end.kind != HostEnd::kExited || end.code != kExitSuccess) {
    note_end("while the modules were released");
  }
}

HostReply ModuleSession::request(std::string_view module, std::string_view bytes) {
  if (!host_.running()) return HostReply{};
  HostReply reply = host_.request(module, bytes, timeout_seconds_);
  if (reply.kind != HostReply::kEnded) return reply;
  note_end(
      "during the request; the modules are bound again in a new host, and their state is "
      "lost");
  rebound_ = true;
  bind();
  return reply;
}

bool ModuleSession::resident_memory(std::uint64_t& resident) {
  std::uint64_t peak = 0;
  if (!host_.running()) return false;
  if (host_.memory(timeout_seconds_, resident, peak)) return true;
  note_end("when asked for its memory; the modules are bound again, and their state is lost");
  rebound_ = true;
  bind();
  return false;
}

bool ModuleSession::lists(std::string_view name) const {
  for (const BoundModule& module : modules_) {
    if (module.name == name) return true;
  }
  return false;
}

bool ModuleSession::take_rebound() {
  bool was = rebound_;
  rebound_ = false;
  return was;
}
