// Shape source compiled per second (vuzodo shx-compile's compiler) for a big font of 6000
// shapes, against the SHX reader loading the compiled result, measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "SHXFontHandler.h"
#include "ShpCompiler.h"

namespace {

constexpr int kShapes = 6000;

// About 40 bytes per shape in the forms font makers write: hexadecimal vectors, grouped
// signed pairs, decimal arc operands.
const std::string& Source() {
  static const std::string source = [] {
    std::string text = "; benchmark font\n*BIGFONT 6000,1,081,09F\n*0,4,BENCH\n20,5,0,0\n";
    const std::string body =
        "2,030,1,044,043,042,041,040,04F,04E,04D,04C,5,8,(3,-2),\n"
        "9,(1,2),(2,1),(0,0),6,10,(2,012),11,(64,32,0,3,024),\n"
        "12,(4,0,90),13,(2,2,40),(0,0),7,081,040,028,0\n";
    for (int k = 0; k < kShapes; ++k) {
      char header[32];
      std::snprintf(header, sizeof header, "*0%X,48,S\n", 0x8140 + k);
      text += header;
      text += body;
    }
    return text;
  }();
  return source;
}

void BM_CompileShp(benchmark::State& state) {
  for (auto _ : state) {
    auto result = vuzodo_tools::CompileShp(Source());
    if (!result.ok) state.SkipWithError(result.Describe().c_str());
    benchmark::DoNotOptimize(result.bytes.data());
  }
  state.SetItemsProcessed(state.iterations() * kShapes);
}
BENCHMARK(BM_CompileShp)->Unit(benchmark::kMillisecond);

// Reference: reading the compiled font back (header, index and every definition).
void BM_LoadCompiled(benchmark::State& state) {
  const auto compiled = vuzodo_tools::CompileShp(Source());
  if (!compiled.ok) state.SkipWithError(compiled.Describe().c_str());
  for (auto _ : state) {
    vuzodo::SHXFontHandler handler;
    handler.OpenBytes(compiled.bytes);
    if (handler.GetShapes().size() != kShapes) state.SkipWithError("not every shape loaded");
    benchmark::DoNotOptimize(handler.GetShapes().data());
  }
  state.SetItemsProcessed(state.iterations() * kShapes);
}
BENCHMARK(BM_LoadCompiled)->Unit(benchmark::kMillisecond);

}  // namespace
