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

std::u16string Paragraph(std::size_t length = 10000) {
  const std::u16string words =
      u"The quick brown fox jumps over the lazy dog while 0123456789 serial numbers mark "
      u"every part. ";
  std::u16string text;
  while (text.size() < length) text += words;
  text.resize(length);
  return text;
}

// The paragraph of `length` characters broken into `lines` lines: every (length / lines)-th
// character becomes a line feed, so the count of characters stays the same.
std::u16string Lines(std::size_t length, std::size_t lines) {
  std::u16string text = Paragraph(length);
  const std::size_t step = length / lines;
  for (std::size_t k = step; k < length; k += step) text[k - 1] = u'\n';
  return text;
}

// Append and whole-text retrieval of one text, fonts warm. The text's lines are dropped by
// FinishText (all but the last), so a text of many lines starts each iteration on new lines.
void AppendAndRetrieve(benchmark::State& state, std::u16string text) {
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
  FinishText();
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
  state.SetComplexityN(state.range(0));
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

// Scaling with the length of one line: 1,000, 10,000 and 100,000 characters.
void BM_ScaleLength(benchmark::State& state) {
  AppendAndRetrieve(state, Paragraph(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_ScaleLength)
    ->RangeMultiplier(10)
    ->Range(1000, 100000)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// Scaling with the number of lines of 100 characters: 10, 100, 1,000 and 1,250 lines (the last
// near the limit of units one append may hold).
void BM_ScaleLines(benchmark::State& state) {
  const auto lines = static_cast<std::size_t>(state.range(0));
  AppendAndRetrieve(state, Lines(100 * lines, lines));
}
BENCHMARK(BM_ScaleLines)
    ->RangeMultiplier(10)
    ->Range(10, 1000)
    ->Arg(1250)
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);

// The same 10,000 characters in 1, 10, 100 and 1,000 lines: the cost per character should not
// depend on how the text is broken.
void BM_SplitLines(benchmark::State& state) {
  AppendAndRetrieve(state, Lines(10000, static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(BM_SplitLines)->RangeMultiplier(10)->Range(1, 1000)->Unit(benchmark::kMillisecond);

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

int MoveTo(const FT_Vector*, void* n) {
  return ++*static_cast<long*>(n), 0;
}
int LineTo(const FT_Vector*, void* n) {
  return ++*static_cast<long*>(n), 0;
}
int ConicTo(const FT_Vector*, const FT_Vector*, void* n) {
  return ++*static_cast<long*>(n), 0;
}
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
