#include <gtest/gtest.h>

#include "run_folder.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  configure_runs(argc, argv);
  return RUN_ALL_TESTS();
}
