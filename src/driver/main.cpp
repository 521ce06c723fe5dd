#include <cstdlib>

#include "driver/test_run.h"
#include "driver/timeout_setting.h"
#include "platform/platform.h"

// Arguments are not read: a run is configured only by the files beside it.
int main() {
  prepare_standard_output();
  const char* timeout = std::getenv("MODTEST_TIMEOUT");
  install_fault_reporting(parse_timeout_setting(timeout), timeout != nullptr ? timeout : "");
  return run_test();
}
