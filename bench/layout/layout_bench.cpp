// Characters per second for a 10,000-character paragraph: AppendCharactersEx
// plus GetOutLinesEx(-1, 0) with the font warm, against FreeType loading and
// decomposing every character's outline without a cache (the work a design
// without a glyph cache must do for the same text), against FreeType producing
// the same kind of records uncached (decomposed, flattened, placed and rounded),
// and against the rounding floor: the whole-text int conversion alone over the
// paragraph's records.
#include <benchmark/benchmark.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cmath>
#include <string>
#include <vector>

#include "OutlineCreator.h"
#include "TTFLoader.h"
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

// The floor of whole-text retrieval: the int conversion with its carried residues over the
// paragraph's records (the line's outline stream between the move to the line start and the
// move back), without the append and without assembling the text's frame.
void BM_RoundingFloor(benchmark::State& state) {
  std::u16string text = Paragraph();
  InitializeTTF(1000.0f);
  SetDefaults();
  AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
  const vuzodo::TTFState& line = *vuzodo::TTFLoader::Instance().GetCurrentLine();
  std::vector<double> list{40.0, 0.0, 0.0};
  line.outline_stream.AppendFlat(list, {}, line.outline_stream.End());
  double sx = 0.0, sy = 0.0;
  for (std::size_t k = 0; k + 1 < line.advances.size(); k += 2) {
    sx += line.advances[k];
    sy += line.advances[k + 1];
  }
  list.insert(list.end(), {40.0, -sx, -sy});
  FinishText();
  int ints = 0;
  for (auto _ : state) {
    int count = 0;
    int* data = vuzodo::ToIntArray(list, count);
    benchmark::DoNotOptimize(data);
    ints = count;
    vuzodo::ReleaseHostArray(data);
  }
  state.counters["records"] = ints / 3;
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RoundingFloor)->Unit(benchmark::kMillisecond);

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

// Liberation Sans opened with FreeType for a reference benchmark; `face` is null (and the
// benchmark marked skipped) when it is not installed.
struct LiberationSans {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  explicit LiberationSans(benchmark::State& state) {
    FT_Init_FreeType(&library);
    if (FT_New_Face(library, LiberationSansFile().c_str(), 0, &face) != 0) {
      face = nullptr;
      state.SkipWithError("Liberation Sans not found");
    }
  }
  ~LiberationSans() {
    if (face != nullptr) FT_Done_Face(face);
    FT_Done_FreeType(library);
  }
  LiberationSans(const LiberationSans&) = delete;
  LiberationSans& operator=(const LiberationSans&) = delete;
};

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
  const LiberationSans font(state);
  if (font.face == nullptr) return;
  FT_Face face = font.face;
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
}
BENCHMARK(BM_FreeTypeUncached)->Unit(benchmark::kMillisecond);

// FreeType producing the records of the engine without a cache: every character loaded and
// decomposed, each quadratic piece flattened into four segments (t = 1/4, 1/2, 3/4, 1; cubic
// pieces alike), every point scaled to the unit size and moved by the pen, and each record
// rounded to ints with the residue carried from the one before, into one growing array.
struct FlattenSink {
  double scale = 0.0;         // output units per font unit
  double pen_x = 0.0;         // origin of the character, output units
  double x = 0.0, y = 0.0;    // last point, output units
  double rx = 0.0, ry = 0.0;  // rounding residues
  std::vector<int> out;

  void Record(int code, double px, double py) {
    const double ex = rx + (px - x), ey = ry + (py - y);
    const double ix = std::nearbyint(ex), iy = std::nearbyint(ey);
    rx = ex - ix;
    ry = ey - iy;
    x = px;
    y = py;
    out.push_back(code);
    out.push_back(static_cast<int>(ix));
    out.push_back(static_cast<int>(iy));
  }
  double X(const FT_Vector* v) const { return pen_x + scale * static_cast<double>(v->x); }
  double Y(const FT_Vector* v) const { return scale * static_cast<double>(v->y); }
};

int FlattenMove(const FT_Vector* to, void* user) {
  auto* s = static_cast<FlattenSink*>(user);
  s->Record(40, s->X(to), s->Y(to));
  return 0;
}
int FlattenLine(const FT_Vector* to, void* user) {
  auto* s = static_cast<FlattenSink*>(user);
  s->Record(41, s->X(to), s->Y(to));
  return 0;
}
int FlattenConic(const FT_Vector* control, const FT_Vector* to, void* user) {
  auto* s = static_cast<FlattenSink*>(user);
  const double x0 = s->x, y0 = s->y, x1 = s->X(control), y1 = s->Y(control), x2 = s->X(to),
               y2 = s->Y(to);
  for (int k = 1; k <= 4; ++k) {
    const double t = k / 4.0, u = 1.0 - t;
    s->Record(41, u * u * x0 + 2.0 * u * t * x1 + t * t * x2,
              u * u * y0 + 2.0 * u * t * y1 + t * t * y2);
  }
  return 0;
}
int FlattenCubic(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* s = static_cast<FlattenSink*>(user);
  const double x0 = s->x, y0 = s->y, x1 = s->X(c1), y1 = s->Y(c1), x2 = s->X(c2), y2 = s->Y(c2),
               x3 = s->X(to), y3 = s->Y(to);
  for (int k = 1; k <= 4; ++k) {
    const double t = k / 4.0, u = 1.0 - t;
    const double a = u * u * u, b = 3.0 * u * u * t, c = 3.0 * u * t * t, d = t * t * t;
    s->Record(41, a * x0 + b * x1 + c * x2 + d * x3, a * y0 + b * y1 + c * y2 + d * y3);
  }
  return 0;
}

void BM_FreeTypeFlattenRound(benchmark::State& state) {
  const std::u16string text = Paragraph();
  const LiberationSans font(state);
  if (font.face == nullptr) return;
  FT_Face face = font.face;
  const FT_Outline_Funcs funcs{FlattenMove, FlattenLine, FlattenConic, FlattenCubic, 0, 0};
  FlattenSink sink;
  sink.scale = 1000.0 / face->units_per_EM;
  std::size_t ints = 0;
  for (auto _ : state) {
    // The array keeps its capacity from the run before. Grown afresh in each run, its time hung
    // on the state of the heap that the benchmarks run before it had left, through page faults
    // of about 10 us each on a virtual machine: 6 to 58 ms a run for the same work.
    sink.pen_x = sink.x = sink.y = sink.rx = sink.ry = 0.0;
    sink.out.clear();
    for (char16_t c : text) {
      FT_Load_Char(face, c, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP);
      FT_Outline_Decompose(&face->glyph->outline, &funcs, &sink);
      sink.pen_x += sink.scale * static_cast<double>(face->glyph->advance.x);
    }
    ints = sink.out.size();
    benchmark::DoNotOptimize(sink.out.data());
  }
  state.counters["records"] = static_cast<double>(ints / 3);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_FreeTypeFlattenRound)->Unit(benchmark::kMillisecond);

}  // namespace
