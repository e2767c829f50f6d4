// GetGlyphOutlineW (GGO_NATIVE) over Latin-1 of Liberation Sans at the size the
// font code uses (cell height 10000), as the font code calls it: a size query,
// then the write. Reference: FreeType's FT_Load_Glyph + FT_Outline_Decompose of
// the same glyphs at the same size, unhinted. Items are glyphs.
#include <benchmark/benchmark.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <vector>

#include "FontFace.h"
#include "gdi.h"

namespace {

constexpr const char* kPath = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
constexpr UINT kFirst = 0x20, kLast = 0xFF;

MAT2 NearIdentity() {
  // The matrix the font code passes: 1 + 1/65536 on the diagonal, 1/65536 off it.
  MAT2 m{};
  m.eM11 = {1, 1};
  m.eM22 = {1, 1};
  m.eM12 = {1, 0};
  m.eM21 = {1, 0};
  return m;
}

struct Selected {
  Selected() {
    LOGFONTW lf{};
    lf.lfHeight = 10000;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    std::u16string face;
    for (const char* p = kPath; *p; ++p) face += static_cast<char16_t>(*p);
    font = vuzodo::platform::CreateFontForFace(lf, face);
    dc = CreateCompatibleDC(nullptr);
    old = SelectObject(dc, font);
  }
  ~Selected() {
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(font);
  }
  HFONT font;
  HDC dc;
  HGDIOBJ old;
};

void BM_GetGlyphOutlineW_SizeThenWrite(benchmark::State& state) {
  Selected s;
  const MAT2 m = NearIdentity();
  std::vector<unsigned char> buffer(1 << 16);
  for (auto _ : state) {
    for (UINT c = kFirst; c <= kLast; ++c) {
      GLYPHMETRICS gm;
      const DWORD size = GetGlyphOutlineW(s.dc, c, GGO_NATIVE, &gm, 0, nullptr, &m);
      if (size != GDI_ERROR && size > 0) {
        benchmark::DoNotOptimize(
            GetGlyphOutlineW(s.dc, c, GGO_NATIVE, &gm, size, buffer.data(), &m));
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (kLast - kFirst + 1));
}
BENCHMARK(BM_GetGlyphOutlineW_SizeThenWrite);

void BM_GetGlyphOutlineW_WriteOnly(benchmark::State& state) {
  Selected s;
  const MAT2 m = NearIdentity();
  std::vector<unsigned char> buffer(1 << 16);
  for (auto _ : state) {
    for (UINT c = kFirst; c <= kLast; ++c) {
      GLYPHMETRICS gm;
      benchmark::DoNotOptimize(GetGlyphOutlineW(
          s.dc, c, GGO_NATIVE, &gm, static_cast<DWORD>(buffer.size()), buffer.data(), &m));
    }
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * (kLast - kFirst + 1));
}
BENCHMARK(BM_GetGlyphOutlineW_WriteOnly);

// Reference: the least a FreeType-based answer has to do per glyph.
int Count(const FT_Vector*, void* user) {
  ++*static_cast<int*>(user);
  return 0;
}
int CountConic(const FT_Vector*, const FT_Vector*, void* user) {
  return Count(nullptr, user);
}
int CountCubic(const FT_Vector*, const FT_Vector*, const FT_Vector*, void* user) {
  return Count(nullptr, user);
}

void BM_FreeType_LoadAndDecompose(benchmark::State& state) {
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) || FT_New_Face(library, kPath, 0, &face)) {
    state.SkipWithError("FreeType could not open the font");
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, 8951);  // the em of a 10000 cell in this font
  const FT_Outline_Funcs funcs{Count, Count, CountConic, CountCubic, 0, 0};
  FT_Matrix matrix{0x10001, 1, 1, 0x10001};
  for (auto _ : state) {
    int segments = 0;
    for (UINT c = kFirst; c <= kLast; ++c) {
      if (FT_Load_Char(face, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) continue;
      FT_Outline_Transform(&face->glyph->outline, &matrix);
      FT_Outline_Decompose(&face->glyph->outline, &funcs, &segments);
    }
    benchmark::DoNotOptimize(segments);
  }
  state.SetItemsProcessed(state.iterations() * (kLast - kFirst + 1));
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(BM_FreeType_LoadAndDecompose);

}  // namespace

BENCHMARK_MAIN();
