#include <benchmark/benchmark.h>

#include <cstring>

#include "bench_data.h"
#include "bench_files.h"

// With --make-files (and --data=DIR) only the settings files are written, for
// the whole-process comparison to run the tool on.
int main(int argc, char** argv) {
  take_data_directory_flag(&argc, argv);
  if (argc == 2 && std::strcmp(argv[1], "--make-files") == 0) {
    for (int file = 0; file < 3; ++file) settings_file_directory(file);
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  remove_temporary_data();
  return 0;
}
