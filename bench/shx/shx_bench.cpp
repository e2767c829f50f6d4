// Shapes built per second from a large generated big font (loading and interpreting every
// shape), against reading the same file's bytes into memory, measured in the same run.
#include <benchmark/benchmark.h>

#include <unistd.h>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "BigFont.h"
#include "SHXFontHandler.h"

namespace {

constexpr int kShapes = bench::kBigFontShapes;

const std::string& FontPath() {
  static const std::string path = [] {
    const std::string p = (std::filesystem::temp_directory_path() /
                           ("shx_bench_" + std::to_string(getpid()) + ".shx"))
                              .string();
    const auto bytes = bench::MakeBigFont();
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
  }();
  // The generated file goes when the process ends.
  static const struct Cleanup {
    ~Cleanup() { std::filesystem::remove(path); }
  } cleanup;
  return path;
}

// Reference: the file's bytes alone.
void BM_ReadFileBytes(benchmark::State& state) {
  for (auto _ : state) {
    std::ifstream file(FontPath(), std::ios::binary);
    std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(file),
                                     std::istreambuf_iterator<char>()};
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * kShapes);
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

// Open the file and build every shape (entities created and destroyed).
void BM_BuildAllShapes(benchmark::State& state) {
  std::size_t built = 0;
  for (auto _ : state) {
    auto shapes = vuzodo::SHXFontHandler::BuildAllShapes(FontPath());
    built = shapes.size();
    benchmark::DoNotOptimize(shapes.data());
  }
  state.counters["shapes"] = static_cast<double>(built);
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(built));
}
BENCHMARK(BM_BuildAllShapes)->Unit(benchmark::kMillisecond);

}  // namespace
