// Throughput of the settings side: one line through the parser, and whole
// files through the reader with and without the report.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <ext/stdio_sync_filebuf.h>
#include <ostream>
#include <string>

#include "bench_data.h"
#include "bench_files.h"
#include "settings/settings_reader.h"

namespace {

constexpr std::size_t kKiB = 1024;
constexpr std::size_t kMiB = 1024 * kKiB;

void line_sizes(benchmark::internal::Benchmark* bench) {
  for (std::size_t size : {kKiB, 16 * kKiB, 256 * kKiB, kMiB, 4 * kMiB, 16 * kMiB, 64 * kMiB}) {
    bench->Arg(static_cast<int64_t>(size));
  }
}

void BM_ParseSettingsLine(benchmark::State& state, SettingsLineKind kind) {
  std::string line = make_settings_line(kind, static_cast<std::size_t>(state.range(0)));
  SettingsReader reader;
  for (auto _ : state) {
    SettingsStore store;
    benchmark::DoNotOptimize(reader.parse_settings_line(store, line));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK_CAPTURE(BM_ParseSettingsLine, plain, SettingsLineKind::kPlain)->Apply(line_sizes);
BENCHMARK_CAPTURE(BM_ParseSettingsLine, quoted, SettingsLineKind::kQuoted)->Apply(line_sizes);
BENCHMARK_CAPTURE(BM_ParseSettingsLine, many_pairs, SettingsLineKind::kManyPairs)
    ->Apply(line_sizes);
BENCHMARK_CAPTURE(BM_ParseSettingsLine, two_byte, SettingsLineKind::kTwoByteText)
    ->Apply(line_sizes);

// read_settings alone: open, read, parse, store, and drop the store.
void BM_ReadSettings(benchmark::State& state, int file) {
  std::string directory = settings_file_directory(file);
  SettingsReader reader;
  for (auto _ : state) {
    SettingsStore store;
    benchmark::DoNotOptimize(reader.read_settings(store, directory));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSettingsFileSize));
}

// The run's settings phase: read_settings, then the report written the way
// the tool writes it (a stream that hands every write to stdio, as the
// standard output stream does), here into /dev/null.
void BM_SettingsPhase(benchmark::State& state, int file) {
  std::string directory = settings_file_directory(file);
  std::FILE* sink = std::fopen("/dev/null", "w");
  __gnu_cxx::stdio_sync_filebuf<char> buffer(sink);
  std::ostream out(&buffer);
  SettingsReader reader;
  for (auto _ : state) {
    SettingsStore store;
    reader.read_settings(store, directory);
    dump_settings(store, out);
    out << "\n";
  }
  std::fclose(sink);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kSettingsFileSize));
}

void register_file_benchmarks() {
  for (int file = 0; file < 3; ++file) {
    std::string name = kSettingsFileNames[file];
    benchmark::RegisterBenchmark(("BM_ReadSettings/" + name).c_str(), BM_ReadSettings, file)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark(("BM_SettingsPhase/" + name).c_str(), BM_SettingsPhase, file)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  }
}

const bool registered = (register_file_benchmarks(), true);

}  // namespace
