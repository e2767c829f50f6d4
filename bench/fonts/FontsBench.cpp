// The font registry over Latin-1 (0x20..0xFF) of Liberation Sans. Items are characters.
//  - BM_ColdFont: a fresh font each iteration (GDI font, design height, metrics, kerning), then
//    every character built: two outline calls, the buffer walk, flattening, scaling.
//  - BM_CachedLookup: LoadCharacter on a font whose characters are built.
//  - BM_ColdCharacters: the characters alone, font creation excluded.
//  - BM_Reference_GetGlyphOutlineW: the platform's size query and write for the same glyphs,
//    each on a memory DC of its own as the font code does, with nothing done with the outline.
#include <benchmark/benchmark.h>

#include <vector>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "FontFace.h"
#include "TTFLoader.h"
#include "gdi.h"
#include "vuzodo/vuzodo.h"

namespace {

constexpr char16_t kFace[] = u"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
constexpr std::uint32_t kFirst = 0x20, kLast = 0xFF;
constexpr int kCount = kLast - kFirst + 1;

void BM_ColdFont(benchmark::State& state) {
  InitializeTTF(1000.0f);
  auto& loader = vuzodo::TTFLoader::Instance();
  for (auto _ : state) {
    vuzodo::FontDataHolder* font = loader.LoadFont(kFace, 0);
    for (std::uint32_t c = kFirst; c <= kLast; ++c) {
      benchmark::DoNotOptimize(loader.LoadCharacter(font, c));
    }
    loader.UnloadAllFonts();
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_ColdFont)->Unit(benchmark::kMillisecond);

void BM_ColdCharacters(benchmark::State& state) {
  InitializeTTF(1000.0f);
  vuzodo::FontDataHolder font(kFace, 0);
  for (auto _ : state) {
    for (std::uint32_t c = kFirst; c <= kLast; ++c) {
      vuzodo::CharBufferHolder record(c, font.GetFontHandle());
      record.Scale(font.GetFontScale());
      benchmark::DoNotOptimize(record.GetOutlines().data());
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_ColdCharacters)->Unit(benchmark::kMillisecond);

void BM_Reference_GetGlyphOutlineW(benchmark::State& state) {
  InitializeTTF(1000.0f);
  vuzodo::FontDataHolder font(kFace, 0);
  const MAT2 matrix = vuzodo::GlyphMatrix();
  std::vector<unsigned char> buffer(1 << 16);
  for (auto _ : state) {
    for (UINT c = kFirst; c <= kLast; ++c) {
      GLYPHMETRICS gm;
      const DWORD size = font.WithFontDC(
          [&](HDC dc) { return GetGlyphOutlineW(dc, c, GGO_NATIVE, &gm, 0, nullptr, &matrix); });
      if (size != GDI_ERROR && size > 0 && size <= buffer.size()) {
        benchmark::DoNotOptimize(font.WithFontDC([&](HDC dc) {
          return GetGlyphOutlineW(dc, c, GGO_NATIVE, &gm, size, buffer.data(), &matrix);
        }));
      }
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_Reference_GetGlyphOutlineW)->Unit(benchmark::kMillisecond);

void BM_CachedLookup(benchmark::State& state) {
  InitializeTTF(1000.0f);
  auto& loader = vuzodo::TTFLoader::Instance();
  vuzodo::FontDataHolder* font = loader.LoadFont(kFace, 0);
  for (std::uint32_t c = kFirst; c <= kLast; ++c) loader.LoadCharacter(font, c);
  for (auto _ : state) {
    for (std::uint32_t c = kFirst; c <= kLast; ++c) {
      benchmark::DoNotOptimize(loader.LoadCharacter(font, c));
    }
  }
  state.SetItemsProcessed(state.iterations() * kCount);
  InitializeTTF(1000.0f);
}
BENCHMARK(BM_CachedLookup);

}  // namespace

BENCHMARK_MAIN();
