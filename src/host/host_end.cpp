#include <cstdio>

#include "host/host_client.h"
#include "run_terms/exit_code.h"

std::string describe_host_end(const HostEnd& end) {
  char text[96];
  switch (end.kind) {
    case HostEnd::kRunning:
      return "is still running";
    case HostEnd::kNotStarted:
      return "could not be started";
    case HostEnd::kExited:
      switch (end.code) {
        case kExitModuleCrashed:
          return "crashed in a module call (exit code 3)";
        case kExitModuleTimedOut:
          return "ended a module call that did not return in time (exit code 4)";
        case kExitModuleEndedProcess:
          return "was ended by a module inside a call (exit code 5)";
      }
      std::snprintf(text, sizeof text, "exited with code %lu",
                    static_cast<unsigned long>(end.code));
      return text;
    case HostEnd::kSignalled:
      std::snprintf(text, sizeof text, "was ended by signal %lu",
                    static_cast<unsigned long>(end.code));
      return text;
    case HostEnd::kNoAnswer:
      std::snprintf(text, sizeof text, "did not answer within %g s", end.seconds);
      return text;
    case HostEnd::kBadAnswer:
      return "answered with something that is no answer";
    case HostEnd::kLost:
      return "ended, the system will not say how";
  }
  return "ended";
}
