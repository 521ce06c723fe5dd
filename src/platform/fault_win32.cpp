// Fault reporting on Windows. For now only the bookkeeping and the flush
// before each call; the handlers come with the Windows fault work.

#include <windows.h>

#include <cstdio>

#include "platform/fault_line.h"
#include "platform/platform.h"

namespace {

FaultLine current_call;
volatile LONG inside = 0;
FaultEpilogue epilogue = nullptr;

}  // namespace

void install_fault_reporting(double timeout_seconds, const char* timeout_text) {
  (void)timeout_seconds;
  (void)timeout_text;
}

void enter_module_call(const char* name, const char* path, const char* entry) {
  std::fflush(stdout);
  current_call.set(name, path, entry);
  inside = 1;
}

void leave_module_call() {
  inside = 0;
}

void set_fault_epilogue(FaultEpilogue new_epilogue) {
  epilogue = new_epilogue;
}
