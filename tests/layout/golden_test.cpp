// Golden record lists of short texts in Liberation Sans ("Arial"): the engine equals them, and
// each, rasterised, matches the font's own outlines as FreeType decomposes them (cairo fills
// both); that check is what makes a golden trustworthy. VUZODO_UPDATE_GOLDEN=1 rewrites them.
#include <cairo.h>
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "vuzodo/vuzodo.h"

namespace {

constexpr float kUnit = 1000.0f;

struct Case {
  const char* name;  // golden file stem
  std::string text;
} const kCases[] = {{"hello", "Hello"}, {"wave", "AVATAR Wave"}, {"digits", "0.5% @ 37"}};

// The records of a whole text, unit size 1000, text height 1, no kerning.
std::vector<int> EngineRecords(const std::string& text) {
  InitializeTTF(kUnit);
  SetDefaults();
  std::u16string face = u"Arial", copy(text.begin(), text.end());
  SetFontFace(reinterpret_cast<unsigned short*>(face.data()));
  AppendCharactersEx(reinterpret_cast<unsigned short*>(copy.data()));
  int* data = nullptr;
  const int n = GetOutLinesEx(-1, EN_RT_BORDER, &data, nullptr);
  std::vector<int> out(data, data + n);
  DeleteTTFData(data);
  FinishText();
  return out;
}

// One record per line ("42 dx dy cx cy" arc, "40"/"41"/"466 dx dy", "-1"); # starts a note.
std::string Format(const std::vector<int>& a) {
  std::ostringstream out;
  for (size_t p = 0; p < a.size();) {
    const size_t n = a[p] == 42 ? 5 : (a[p] == -1 ? 1 : 3);
    for (size_t k = 0; k < n && p + k < a.size(); ++k) out << (k ? " " : "") << a[p + k];
    out << "\n";
    p += n;
  }
  return out.str();
}

std::vector<int> Parse(std::istream& in) {
  std::vector<int> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    for (int v; fields >> v;) out.push_back(v);
  }
  return out;
}

std::string LiberationSansFile() {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("Liberation Sans"));
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcChar8* path = nullptr;
  const bool found = match && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch;
  std::string file = found ? reinterpret_cast<const char*>(path) : "";
  FcPatternDestroy(pattern);
  if (match) FcPatternDestroy(match);
  return file;
}

// 8-bit coverage, kScale pixels per output unit, y up in text space and down in the picture.
constexpr double kScale = 0.1;
constexpr int kWidth = 1400, kHeight = 260;
constexpr double kOriginX = 20, kOriginY = 180;  // pixel position of the text origin

struct Raster {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, kWidth, kHeight);
  cairo_t* cr = cairo_create(surface);
  Raster() {
    cairo_translate(cr, kOriginX, kOriginY);
    cairo_scale(cr, kScale, -kScale);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
  }
  ~Raster() {
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
  }
  int At(int x, int y) {
    cairo_surface_flush(surface);
    return cairo_image_surface_get_data(surface)[y * cairo_image_surface_get_stride(surface) + x];
  }
};

// Our records filled: arcs turn about their centre, given relative to the arc's start.
void FillRecords(Raster& r, const std::vector<int>& a) {
  double x = 0, y = 0;
  for (size_t p = 0; p + 2 < a.size();) {
    const int code = a[p];
    const double nx = x + a[p + 1], ny = y + a[p + 2];
    if (code == 40) cairo_move_to(r.cr, nx, ny);
    if (code == 41) cairo_line_to(r.cr, nx, ny);
    if (code == 42 && p + 4 < a.size()) {
      const double cx = x + a[p + 3], cy = y + a[p + 4];
      const double a0 = std::atan2(y - cy, x - cx), a1 = std::atan2(ny - cy, nx - cx);
      const double cross = (x - cx) * (ny - cy) - (y - cy) * (nx - cx);
      (cross >= 0 ? cairo_arc : cairo_arc_negative)(r.cr, cx, cy, std::hypot(x - cx, y - cy), a0,
                                                    a1);
    }
    x = nx, y = ny;
    p += code == 42 ? 5 : 3;
  }
  cairo_fill(r.cr);
}

struct Decompose {
  cairo_t* cr;
  double scale, dx;
  double X(const FT_Vector* v) const { return dx + v->x * scale; }
  double Y(const FT_Vector* v) const { return v->y * scale; }
};

// The font's own outlines of `text`, placed and scaled the way the font services are documented
// to, worked from the font's tables: the face is realised at a cell height of 10000 pixels
// (ppem = 10000 em / (win ascent + win descent)), the design height is trunc(U U / top of "A" in
// whole pixels), outlines scale by design height / U pixels, advances are whole pixels times it.
bool FillFreeType(Raster& r, const std::string& text) {
  FT_Library library;
  FT_Face face;
  if (FT_Init_FreeType(&library) != 0) return false;
  if (FT_New_Face(library, LiberationSansFile().c_str(), 0, &face) != 0) return false;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const double em = face->units_per_EM;
  const double ppem = 10000.0 * em / (os2->usWinAscent + os2->usWinDescent);
  FT_Load_Char(face, 'A', FT_LOAD_NO_SCALE);
  FT_BBox a;
  FT_Outline_Get_CBox(&face->glyph->outline, &a);
  const double top = std::ceil(a.yMax * ppem / em);
  const double font_scale = std::trunc(kUnit * kUnit / top) / kUnit;
  Decompose d{r.cr, font_scale * ppem / em, 0.0};
  const FT_Outline_Funcs funcs{
      [](const FT_Vector* to, void* u) {
        auto* d = static_cast<Decompose*>(u);
        cairo_close_path(d->cr);
        cairo_move_to(d->cr, d->X(to), d->Y(to));
        return 0;
      },
      [](const FT_Vector* to, void* u) {
        auto* d = static_cast<Decompose*>(u);
        cairo_line_to(d->cr, d->X(to), d->Y(to));
        return 0;
      },
      [](const FT_Vector* c, const FT_Vector* to, void* u) {  // raised to a cubic
        auto* d = static_cast<Decompose*>(u);
        double x0, y0;
        cairo_get_current_point(d->cr, &x0, &y0);
        const double cx = d->X(c), cy = d->Y(c), x1 = d->X(to), y1 = d->Y(to);
        cairo_curve_to(d->cr, x0 + 2.0 / 3 * (cx - x0), y0 + 2.0 / 3 * (cy - y0),
                       x1 + 2.0 / 3 * (cx - x1), y1 + 2.0 / 3 * (cy - y1), x1, y1);
        return 0;
      },
      [](const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* u) {
        auto* d = static_cast<Decompose*>(u);
        cairo_curve_to(d->cr, d->X(c1), d->Y(c1), d->X(c2), d->Y(c2), d->X(to), d->Y(to));
        return 0;
      },
      0,
      0};
  for (unsigned char c : text) {
    FT_Load_Char(face, c, FT_LOAD_NO_SCALE);
    FT_Outline_Decompose(&face->glyph->outline, &funcs, &d);
    cairo_close_path(r.cr);
    d.dx += std::round(face->glyph->advance.x * ppem / em) * font_scale;
  }
  cairo_fill(r.cr);
  FT_Done_Face(face);
  FT_Done_FreeType(library);
  return true;
}

// Share of the ink pixels (of either) where the two differ by more than half the coverage.
double Mismatch(Raster& a, Raster& b) {
  long ink = 0, differ = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int p = a.At(x, y), q = b.At(x, y);
      if (p > 127 || q > 127) ++ink;
      if (std::abs(p - q) > 127) ++differ;
    }
  }
  return ink == 0 ? 1.0 : static_cast<double>(differ) / static_cast<double>(ink);
}

// The engine equals each golden; the golden, rasterised, matches the font's own outlines. Four
// straight segments per curve piece leave a thin fringe along the edges (below 0.4% of the ink);
// a wrong glyph, place or scale fails widely, as the same letters one place shifted show.
TEST(GoldenRecords, EngineEqualsTheGoldensAndTheyMatchTheFontsOutlines) {
  const bool update = std::getenv("VUZODO_UPDATE_GOLDEN") != nullptr;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string path = std::string(VUZODO_GOLDEN_DIR) + "/" + c.name + ".txt";
    const std::vector<int> records = EngineRecords(c.text);
    if (update) {
      std::ofstream(path) << "# GetOutLinesEx(-1, outlines) of \"" << c.text
                          << "\": face \"Arial\", unit size 1000, height 1, no kerning\n"
                          << Format(records);
    }
    std::ifstream in(path);
    ASSERT_TRUE(in) << path;
    const std::vector<int> golden = Parse(in);
    EXPECT_EQ(Format(records), Format(golden));
    ASSERT_EQ(golden.back(), -1);
    Raster ours, reference, other;
    FillRecords(ours, golden);
    ASSERT_TRUE(FillFreeType(reference, c.text));
    const double mismatch = Mismatch(ours, reference);
    EXPECT_LT(mismatch, 0.01) << "share of ink pixels that differ";
    ASSERT_TRUE(FillFreeType(other, c.text.substr(1) + c.text[0]));
    EXPECT_GT(Mismatch(ours, other), 10 * std::max(mismatch, 0.01));
  }
}

}  // namespace
