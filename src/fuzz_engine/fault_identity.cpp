#include "fuzz_engine/fault_identity.h"

#include <csignal>
#include <cstdio>

namespace {

struct NamedCode {
  std::uint64_t code;
  const char* words;
};

// Windows exception codes are far above any signal number, so one table
// serves both, whichever system the host ran on.
constexpr NamedCode kExceptions[] = {
    {0xC0000005u, "access violation"},    {0xC00000FDu, "stack overflow"},
    {0xC000001Du, "illegal instruction"}, {0xC0000094u, "integer divide by zero"},
    {0xC0000095u, "integer overflow"},    {0xC0000096u, "privileged instruction"},
    {0xC0000409u, "fail-fast"},           {0x80000003u, "breakpoint"},
};

std::string hex_code(std::uint64_t code) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%08llX", static_cast<unsigned long long>(code));
  return text;
}

}  // namespace

std::string name_fault_code(std::uint64_t code) {
  if (code == 0) return "";
  for (const NamedCode& exception : kExceptions) {
    if (exception.code == code) return std::string(exception.words) + " (" + hex_code(code) + ")";
  }
  if (code >= 0x10000) return "exception " + hex_code(code);
  switch (code) {
    case SIGSEGV:
      return "segmentation fault (SIGSEGV)";
    case SIGILL:
      return "illegal instruction (SIGILL)";
    case SIGFPE:
      return "arithmetic fault (SIGFPE)";
    case SIGABRT:
      return "aborted (SIGABRT)";
#ifdef SIGBUS
    case SIGBUS:
      return "bus error (SIGBUS)";
#endif
  }
  return "signal " + std::to_string(code);
}
