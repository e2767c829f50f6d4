// Cost of converting Liberation Sans (printable Latin-1, 190 characters) to OVF and to FNT,
// beside its reference: reading the same characters through the C interface alone. The ratio
// of a conversion to the reference is what the writers add.
#include <benchmark/benchmark.h>

#include "FntWriter.h"
#include "InterfaceFont.h"
#include "OvfWriter.h"

namespace {

using namespace vuzodo_fontio;

ReadOptions Liberation() {
  ReadOptions options;
  options.face = u"Liberation Sans";
  return options;
}

void BM_ReadThroughInterface(benchmark::State& state) {
  for (auto _ : state) {
    const InterfaceFont font = ReadThroughInterface(Liberation());
    benchmark::DoNotOptimize(font.glyphs.data());
    state.counters["characters"] = static_cast<double>(font.glyphs.size());
  }
}
BENCHMARK(BM_ReadThroughInterface)->Unit(benchmark::kMillisecond);

void BM_ConvertToOvf(benchmark::State& state) {
  for (auto _ : state) {
    const InterfaceFont font = ReadThroughInterface(Liberation());
    const auto bytes = WriteOvf(MakeOvfFont(font, u"Liberation Sans", u"Regular"));
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_ConvertToOvf)->Unit(benchmark::kMillisecond);

void BM_ConvertToFnt(benchmark::State& state) {
  for (auto _ : state) {
    const InterfaceFont font = ReadThroughInterface(Liberation());
    const std::string text = WriteFnt(font.glyphs);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_ConvertToFnt)->Unit(benchmark::kMillisecond);

// The writers alone, on characters read once.
void BM_OvfWriterOnly(benchmark::State& state) {
  const InterfaceFont font = ReadThroughInterface(Liberation());
  for (auto _ : state) {
    const auto bytes = WriteOvf(MakeOvfFont(font, u"Liberation Sans", u"Regular"));
    benchmark::DoNotOptimize(bytes.data());
  }
}
BENCHMARK(BM_OvfWriterOnly)->Unit(benchmark::kMillisecond);

void BM_FntWriterOnly(benchmark::State& state) {
  const InterfaceFont font = ReadThroughInterface(Liberation());
  for (auto _ : state) {
    const std::string text = WriteFnt(font.glyphs);
    benchmark::DoNotOptimize(text.data());
  }
}
BENCHMARK(BM_FntWriterOnly)->Unit(benchmark::kMillisecond);

}  // namespace
