#include "driver/test_run.h"
#include "platform/platform.h"

// Arguments are not read: a run is configured only by the files beside it.
int main() {
  prepare_standard_output();
  return run_test();
}
