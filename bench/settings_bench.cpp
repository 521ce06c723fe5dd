// Throughput of the settings side: one line through the parser, and whole
// files through the reader with and without the report.

#include <benchmark/benchmark.h>
#include <malloc.h>

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

// A run of the tool writes every page of its big blocks for the first time,
// and in this kind of virtual machine that can cost more than the parsing.
// glibc lets a benchmark loop reuse warm pages for blocks below 32 MiB but
// maps fresh ones above, so the same loop would compare a warm heap at 1 MiB
// with a cold one at 64 MiB. Each family therefore states its heap:
//   warm   blocks come from the heap and stay there, so every iteration after
//          the first reuses written pages: the parser's own cost per byte;
//   fresh  every block of 128 KiB or more is mapped anew and released each
//          iteration: the cost per byte a run pays.
enum class Heap { kWarm, kFresh };

void set_heap(Heap heap) {
  int threshold = heap == Heap::kWarm ? 1 << 30 : 128 * 1024;
  mallopt(M_MMAP_THRESHOLD, threshold);
  mallopt(M_TRIM_THRESHOLD, threshold);
}

void BM_ParseSettingsLine(benchmark::State& state, SettingsLineKind kind, Heap heap) {
  set_heap(heap);
  std::string line = make_settings_line(kind, static_cast<std::size_t>(state.range(0)));
  SettingsReader reader;
  for (auto _ : state) {
    SettingsStore store;
    benchmark::DoNotOptimize(reader.parse_settings_line(store, line));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
#define PARSE_BENCHMARKS(heap_name, heap)                                                       \
  BENCHMARK_CAPTURE(BM_ParseSettingsLine, plain_##heap_name, SettingsLineKind::kPlain, heap)    \
      ->Apply(line_sizes);                                                                      \
  BENCHMARK_CAPTURE(BM_ParseSettingsLine, quoted_##heap_name, SettingsLineKind::kQuoted, heap)  \
      ->Apply(line_sizes);                                                                      \
  BENCHMARK_CAPTURE(BM_ParseSettingsLine, many_pairs_##heap_name, SettingsLineKind::kManyPairs, \
                    heap)                                                                       \
      ->Apply(line_sizes);                                                                      \
  BENCHMARK_CAPTURE(BM_ParseSettingsLine, two_byte_##heap_name, SettingsLineKind::kTwoByteText, \
                    heap)                                                                       \
      ->Apply(line_sizes)
PARSE_BENCHMARKS(warm, Heap::kWarm);
PARSE_BENCHMARKS(fresh, Heap::kFresh);

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
