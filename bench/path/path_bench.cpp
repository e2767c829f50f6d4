// Characters per second for a 2,000-character text with the font warm:
// AppendCharactersEx plus GetOutLinesEx(-1, 0), horizontally, in a column, and
// along a circle (plain and bent) and a NURBS curve of many control points.
#include <benchmark/benchmark.h>

#include <cmath>
#include <string>
#include <vector>

#include "vuzodo/vuzodo.h"

namespace {

std::u16string Text() {
  const std::u16string words = u"Serial 0123456789 batch QC passed for every marked part. ";
  std::u16string text;
  while (text.size() < 2000) text += words;
  text.resize(2000);
  return text;
}

enum Mode { kHorizontal, kColumn, kCircle, kCircleBent, kNurbs };

void Prepare(Mode mode) {
  InitializeTTF(1000.0f);
  SetDefaults();
  switch (mode) {
    case kHorizontal:
      break;
    case kColumn:
      SetModeVertical();
      break;
    case kCircle:
    case kCircleBent:
      // Room for the whole text: about 1,300 units of circumference.
      SetNurbPathCircleCW(220.0f, 0.0f, 0.0f, 0.0f);
      SetDeformPathCharacters(mode == kCircleBent ? EN_TRUE : EN_FALSE);
      SetModePathText();
      break;
    case kNurbs: {
      // A wave of 400 control points (4,001 samples), 2,000 units long.
      const int n = 400;
      std::vector<float> x(n), y(n), w(n, 1.0f), knots(n + 4);
      for (int i = 0; i < n; ++i) {
        x[i] = 5.0f * i;
        y[i] = 3.0f * std::sin(i * 0.3f);
      }
      for (int i = 0; i < n + 4; ++i) {
        knots[i] = i < 4 ? 0.0f : (i >= n ? 1.0f : static_cast<float>(i - 3) / (n - 3));
      }
      SetNurbPathPoints(3, n, x.data(), y.data(), w.data(), n + 4, knots.data(), 0.0f);
      SetModePathText();
      break;
    }
  }
}

void BM_AppendAndRetrieve(benchmark::State& state, Mode mode) {
  std::u16string text = Text();
  Prepare(mode);
  AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));  // warm the font
  if (GetCharacterCount(-1) != static_cast<int>(text.size())) {
    state.SkipWithError("the text did not fit");
    return;
  }
  for (auto _ : state) {
    FinishText();
    AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
    int* data = nullptr;
    benchmark::DoNotOptimize(GetOutLinesEx(-1, EN_RT_BORDER, &data, nullptr));
    DeleteTTFData(data);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK_CAPTURE(BM_AppendAndRetrieve, horizontal, kHorizontal)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AppendAndRetrieve, column, kColumn)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AppendAndRetrieve, circle, kCircle)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AppendAndRetrieve, circle_bent, kCircleBent)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_AppendAndRetrieve, nurbs, kNurbs)->Unit(benchmark::kMillisecond);

}  // namespace
