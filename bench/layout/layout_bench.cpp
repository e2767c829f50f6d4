// Characters per second for a 10,000-character paragraph: AppendCharactersEx
// plus GetOutLinesEx(-1, 0) with the font warm, against FreeType loading and
// decomposing every character's outline without a cache (the work a design
// without a glyph cache must do for the same text).
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <string>

#include "vuzodo/vuzodo.h"

namespace {

std::u16string Paragraph() {
  const std::u16string words =
      u"The quick brown fox jumps over the lazy dog while 0123456789 serial numbers mark "
      u"every part. ";
  std::u16string text;
  while (text.size() < 10000) text += words;
  text.resize(10000);
  return text;
}

void BM_AppendAndRetrieve(benchmark::State& state) {
  std::u16string text = Paragraph();
  InitializeTTF(1000.0f);
  SetDefaults();
  AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));  // warm the font
  for (auto _ : state) {
    FinishText();
    AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
    int* data = nullptr;
    float box[8];
    benchmark::DoNotOptimize(GetOutLinesEx(-1, EN_RT_BORDER, &data, box));
    DeleteTTFData(data);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_AppendAndRetrieve)->Unit(benchmark::kMillisecond);

// The two halves apart: the layout of the append, and the whole-text
// retrieval of a text laid out once.
void BM_AppendOnly(benchmark::State& state) {
  std::u16string text = Paragraph();
  InitializeTTF(1000.0f);
  SetDefaults();
  AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
  for (auto _ : state) {
    FinishText();
    AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_AppendOnly)->Unit(benchmark::kMillisecond);

void BM_RetrieveOnly(benchmark::State& state) {
  std::u16string text = Paragraph();
  InitializeTTF(1000.0f);
  SetDefaults();
  AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
  int records = 0;
  for (auto _ : state) {
    int* data = nullptr;
    float box[8];
    records = GetOutLinesEx(-1, EN_RT_BORDER, &data, box) / 3;
    DeleteTTFData(data);
  }
  state.counters["records"] = records;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RetrieveOnly)->Unit(benchmark::kMillisecond);

std::string LiberationSansFile() {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Liberation Sans"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  FcChar8* path = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch) {
    file = reinterpret_cast<const char*>(path);
  }
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return file;
}

int MoveTo(const FT_Vector*, void* n) { return ++*static_cast<long*>(n), 0; }
int LineTo(const FT_Vector*, void* n) { return ++*static_cast<long*>(n), 0; }
int ConicTo(const FT_Vector*, const FT_Vector*, void* n) { return ++*static_cast<long*>(n), 0; }
int CubicTo(const FT_Vector*, const FT_Vector*, const FT_Vector*, void* n) {
  return ++*static_cast<long*>(n), 0;
}

void BM_FreeTypeUncached(benchmark::State& state) {
  const std::u16string text = Paragraph();
  FT_Library library;
  FT_Init_FreeType(&library);
  FT_Face face;
  if (FT_New_Face(library, LiberationSansFile().c_str(), 0, &face) != 0) {
    state.SkipWithError("Liberation Sans not found");
    FT_Done_FreeType(library);
    return;
  }
  FT_Set_Pixel_Sizes(face, 0, 10000);
  const FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  for (auto _ : state) {
    long segments = 0;
    for (char16_t c : text) {
      FT_Load_Char(face, c, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
      FT_Outline_Decompose(&face->glyph->outline, &funcs, &segments);
    }
    benchmark::DoNotOptimize(segments);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  FT_Done_Face(face);
  FT_Done_FreeType(library);
}
BENCHMARK(BM_FreeTypeUncached)->Unit(benchmark::kMillisecond);

}  // namespace
