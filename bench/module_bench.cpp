// Throughput of the module-list field reader, and the cost of reading and
// binding a long module list.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench_data.h"
#include "bench_files.h"
#include "modules/module_field_reader.h"
#include "modules/module_registry.h"

namespace {

void line_sizes(benchmark::internal::Benchmark* bench) {
  // 32767 bytes is the longest line the module list reader hands over.
  for (int size : {1024, 2048, 4096, 8192, 16384, 32767}) bench->Arg(size);
}

void BM_SplitModuleLine(benchmark::State& state, ModuleLineKind kind) {
  std::string line = make_module_line(kind, static_cast<std::size_t>(state.range(0)));
  char name[kFieldCapacity];
  char path_field[kFieldCapacity];
  for (auto _ : state) {
    benchmark::DoNotOptimize(split_module_line(line.c_str(), name, path_field));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * line.size()));
}
BENCHMARK_CAPTURE(BM_SplitModuleLine, separated, ModuleLineKind::kSeparated)->Apply(line_sizes);
BENCHMARK_CAPTURE(BM_SplitModuleLine, escaped, ModuleLineKind::kEscaped)->Apply(line_sizes);

// Sends what the host prints to /dev/null for as long as it lives, so that
// the benchmark's own report stays readable.
class SilencedOutput {
 public:
  SilencedOutput() {
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    int sink = open("/dev/null", O_WRONLY);
    dup2(sink, STDOUT_FILENO);
    close(sink);
  }
  ~SilencedOutput() {
    std::fflush(stdout);
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }
  SilencedOutput(const SilencedOutput&) = delete;
  SilencedOutput& operator=(const SilencedOutput&) = delete;

 private:
  int saved_;
};

// Every entry names the same small module, so after the first the cost is
// the host's own: the line split, the records, the calls and the printing.
void BM_LoadModuleList(benchmark::State& state) {
  int entries = static_cast<int>(state.range(0));
  std::string directory = module_list_directory(entries);
  SilencedOutput silenced;
  for (auto _ : state) {
    ModuleRegistry registry;
    init_registry(&registry);
    load_module_list(&registry, directory.c_str());
    unload_all_modules(&registry);
    end_registry(&registry);
  }
  state.SetItemsProcessed(state.iterations() * entries);
}
BENCHMARK(BM_LoadModuleList)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
