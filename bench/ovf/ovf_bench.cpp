// Cost of the file font readers: loading and decoding the OVF fixture, flattening one Bezier
// segment, and reading the Hershey-derived FNT font under each arc mode.
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "FntReader.h"
#include "OVFFontHandler.h"

namespace {

std::string Data(const char* name) {
  return std::string(VUZODO_FONT_TEST_DATA) + "/" + name;
}

void BM_OvfLoadAndDecodeAll(benchmark::State& state) {
  std::ifstream in(Data("commands.ovf"), std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
  for (auto _ : state) {
    OVFFontHandler font;
    font.LoadBytes(bytes);
    std::size_t entities = 0;
    for (int code : {'L', 'T', 'M', 'O', 'E', 'B', '.', 'W'}) {
      entities += font.BuildGlyph(code)->outline.size();
    }
    benchmark::DoNotOptimize(entities);
  }
}
BENCHMARK(BM_OvfLoadAndDecodeAll);

void BM_OvfBezierSegment(benchmark::State& state) {
  const float p0[2] = {0, 0}, c1[2] = {1, 3}, c2[2] = {3, 3}, p3[2] = {4, 0};
  std::vector<NURBSPoint> points;
  for (auto _ : state) {
    points.clear();
    FlattenOVFBezierSegment(p0, c1, c2, p3, points);
    benchmark::DoNotOptimize(points.data());
  }
}
BENCHMARK(BM_OvfBezierSegment);

void BM_FntReadHershey(benchmark::State& state) {
  std::ifstream in(Data("hershey.fnt"));
  const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string strokes = [] {
    std::ifstream s(Data("strokes.fnt"));
    return std::string{std::istreambuf_iterator<char>(s), std::istreambuf_iterator<char>()};
  }();
  for (auto _ : state) {
    std::istringstream stream(text + strokes);
    auto glyphs = ReadFntStream(stream, static_cast<int>(state.range(0)));
    benchmark::DoNotOptimize(glyphs.data());
  }
}
BENCHMARK(BM_FntReadHershey)->Arg(0)->Arg(1)->Arg(2);

}  // namespace
