// Layout end to end through the interface: properties every mode keeps on every kind of font,
// positions worked by hand from Liberation Sans' own metrics ("Arial" resolves to it), and golden
// record lists checked against the font's outlines as FreeType decomposes them, filled by cairo.
#include <cairo.h>
#include <ft2build.h>
#include <gtest/gtest.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "FontDataHolder.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

int Append(std::u16string text, bool ex = true) {
  auto* p = reinterpret_cast<unsigned short*>(text.data());
  return ex ? AppendCharactersEx(p) : AppendCharacters(p);
}

void Face(const std::string& narrow) {
  std::u16string face(narrow.begin(), narrow.end());
  ASSERT_EQ(SetFontFace(reinterpret_cast<unsigned short*>(face.data())), 1) << narrow;
}

FontDataHolder* Arial() {
  return TTFLoader::Instance().LoadFont(u"Arial", 0);
}
double Adv(char16_t c) {
  return TTFLoader::Instance().LoadCharacter(Arial(), c)->GetMetrics()[kAdvanceX];
}

std::vector<CursorPosition> Carets() {
  CursorPosition* data = nullptr;
  int count = 0;
  float top = 0;
  GetMultilineCaretPositionData(&data, &count, &top);
  std::vector<CursorPosition> out(data, data + count);
  DeleteCaretData(reinterpret_cast<float*>(data));
  return out;
}

std::vector<int> Array(int index = -1, EN_ReturnType type = EN_RT_BORDER, float* box = nullptr,
                       bool multiline = false) {
  int* data = nullptr;
  const int n = multiline ? GetMultilineOutLines(index, type, &data, box)
                          : GetOutLinesEx(index, type, &data, box);
  std::vector<int> out(data, data + n);
  DeleteTTFData(data);
  return out;
}

// Every line's outline stream, one after another.
std::vector<double> OutlineValues() {
  std::vector<double> out;
  for (const auto& line : TTFLoader::Instance().Lines()) {
    line->outline_stream.AppendFlat(out, {}, line->outline_stream.End());
  }
  return out;
}

struct Point {
  long x, y;
  int code;
};

// Absolute ends of the draw and arc records, the pen walked from `pen` (left after the last).
std::vector<Point> Drawn(const std::vector<int>& a, Point* pen = nullptr) {
  std::vector<Point> out;
  Point p = pen ? *pen : Point{0, 0, 0};
  for (size_t i = 0; i + 2 < a.size(); i += a[i] == 42 ? 5 : 3) {
    const bool draws = a[i] == 41 || a[i] == 42;
    if (draws) out.push_back(Point{p.x, p.y, 0});
    p = Point{p.x + a[i + 1], p.y + a[i + 2], a[i]};
    if (draws) out.push_back(p);
  }
  if (pen != nullptr) *pen = p;
  return out;
}

void StraightPath(float length, float start) {
  float points[4] = {0.0f, 0.0f, length, 0.0f};
  ASSERT_EQ(SetNurbPathPolyline(points, 4, start), 1);
  SetModePathText();
}

class Layout : public ::testing::Test {
 protected:
  void SetUp() override { InitializeTTF(1000.0f); }
  // Path settings outlive SetDefaults.
  static void Reset() {
    FinishText();
    SetDefaults();
    SetPathTextAlign(static_cast<EN_PathTextAlign>(0));
    SetPathTextSpacing(0.0);
    SetPathTextFlip(EN_FALSE);
    SetDeformPathCharacters(EN_FALSE);
  }
};

// Over every mode and kind of font: whole texts return the pen to the origin; each character's
// box (plus overhang) holds its outline, also with the pen far from the origin on a path; one after
// another, the characters' arrays give the whole text (character k may drift by k / 2 units).
TEST_F(Layout, InvariantsOverModesAndFonts) {
  struct Font {
    std::string face;
    std::u16string text;
    bool cells = true;  // the fixtures' shapes do not keep to their cells
  } fonts[] = {{"Arial", u"Typo @ 8&\ngraphy"},
               {"DejaVu Serif", u"Wave AV\tfi"},
               {VUZODO_SHX_FIXTURES "/shapes.shx", u"\x03\x08\x0c\x1e", false},
               {VUZODO_OVF_DATA "/commands.ovf", u"LEz", false},
               {VUZODO_OVF_DATA "/hershey.fnt", u"ABq"}};
  struct Mode {
    const char* name;
    std::function<void()> set;
  } modes[] = {
      {"horizontal", [] {}},
      {"horizontal, every setting",
       [] {
         SetCharacterAngle(0.3f), SetObliqueAngle(0.2f), SetCharacterScale(1.5f, 0.75f);
         SetTextHeight(2.0f), SetAutoKern(EN_TRUE), SetHorizontalCharGap(0.05f);
         SetModeSuperscript(), SetModeWordWrap(EN_TRUE), SetTextBoxWidth(5.0f);
       }},
      {"horizontal, mirrored", [] { SetModeCharacterBackward(), SetModeCharacterUpsideDown(); }},
      {"column",
       [] {
         SetModeVertical(), SetCharacterAngle(0.5f), SetCharacterScale(1.5f, 0.75f);
         SetModeCharacterUpsideDown(), SetVerticalCharGap(0.1f), SetObliqueAngle(0.2f);
       }},
      {"column, backward", [] { SetModeVertical(), SetModeCharacterBackward(); }},
      {"bent on a circle",
       [] {
         SetModePathText(), SetNurbPathCircleCCW(8.0f, 1.0f, 2.0f, 0.4f), SetModeSuperscript();
         SetDeformPathCharacters(EN_TRUE), SetPathTextAlign(EN_PATH_ASCENT), SetObliqueAngle(0.2f);
       }},
      {"on a circle", [] { SetModePathText(), SetNurbPathCircleCW(6.0f, 0.0f, 0.0f, 0.3f); }},
      {"straight path", [] { StraightPath(60.0f, 1.5f), SetModeCharacterBackward(); }},
  };
  for (const Font& font : fonts) {
    for (const Mode& mode : modes) {
      for (bool ex : {true, false}) {
        SCOPED_TRACE(testing::Message()
                     << font.face << ", " << mode.name << (ex ? "" : ", simple"));
        Reset();
        Face(font.face);
        mode.set();
        ASSERT_EQ(Append(font.text.substr(0, 2), ex), 1);
        Append(font.text.substr(2), ex);
        const int count = GetCharacterCount(-1);
        ASSERT_GT(count, 1);
        // With a hatch pattern the outline is copied, placed and handed to the hatching
        // library; without one it is placed as it is written. Its values must not differ by a
        // bit (the host arrays are rounded from them).
        const std::vector<double> plain = OutlineValues();
        Reset();
        Face(font.face);
        mode.set();
        ASSERT_EQ(AddTTFHatchPatternLine(0.0f, BORDER_GAP_INWARD, 0.2f, 0.5f, 0.0f, 0.0f,
                                         HATCH_UNIDIRECTIONAL, EN_FALSE),
                  1);
        Append(font.text.substr(0, 2), ex);
        Append(font.text.substr(2), ex);
        ClearTTFHatchPatterns();
        const std::vector<double> hatched = OutlineValues();
        EXPECT_TRUE(plain.size() == hatched.size() &&
                    std::memcmp(plain.data(), hatched.data(), plain.size() * sizeof(double)) == 0);
        for (int type = 0; type <= 5; ++type) {
          for (bool multiline : {false, true}) {
            Point end{0, 0, 0};
            Drawn(Array(-1, static_cast<EN_ReturnType>(type), nullptr, multiline), &end);
            EXPECT_TRUE(end.x == 0 && end.y == 0) << type << multiline;
          }
        }
        if (!ex) continue;  // the simple layouts keep no character boxes
        const std::vector<Point> whole = Drawn(Array());
        Point pen{0, 0, 0};
        size_t j = 0;
        for (int k = 0; k < count; ++k) {
          float b[10] = {};
          const std::vector<int> one = Array(k, EN_RT_BORDER, b);
          const auto [x0, x1] = std::minmax({b[0], b[2], b[4], b[6]});
          const auto [y0, y1] = std::minmax({b[1], b[3], b[5], b[7]});
          for (const Point& p : font.cells ? Drawn(one) : std::vector<Point>{}) {
            EXPECT_TRUE(p.x >= x0 - 250 && p.x <= x1 + 250 && p.y >= y0 - 250 && p.y <= y1 + 250)
                << k;
          }
          for (const Point& p : Drawn(one, &pen)) {
            ASSERT_LT(j, whole.size());
            EXPECT_NEAR(p.x, whole[j].x, 1.0 + 0.5 * k) << k;
            EXPECT_NEAR(p.y, whole[j++].y, 1.0 + 0.5 * k) << k;
          }
        }
        EXPECT_EQ(j, whole.size());
      }
    }
  }
}

// Line feeds and word wrap: characters per line, a line-start caret at x 0 on each, and each
// line's maximum ascent, descent and gap those of its characters (also those a wrap moved there).
TEST_F(Layout, LinesAndTheirMetrics) {
  struct Row {
    double box;  // text box width in advances of "A" at height 1; 0: no word wrap
    std::vector<std::pair<float, std::u16string>> appends;  // height, text
    std::vector<int> counts;
    std::vector<float> heights;
    bool ex = true;
  } rows[] = {
      {0, {{1, u"A\nB\n\nC\n"}}, {1, 1, 0, 1, 0}, {1, 1, 1, 1, 1}},
      {0, {{1, u"A\nB"}}, {3}, {1}, false},  // AppendCharacters keeps a line feed on the line
      {3.2, {{1, u"AA AA"}}, {2, 2}, {1, 1}},
      {3.5, {{1, u"A A AAAA"}}, {3, 4}, {1, 1}},  // at the last space before the edge
      {2, {{1, u" AAAAAA"}}, {7}, {1}},           // never at the first character
      {11, {{2, u"AA AA"}, {1, u"AAA"}}, {2, 5}, {2, 2}},
  };
  Reset();
  Append(u"A");
  CharacterLineGapInfo unit[1];
  ASSERT_EQ(GetCharacterLineGapInfo(unit), 1);
  for (const Row& r : rows) {
    SCOPED_TRACE(testing::Message() << "box " << r.box << ", " << r.counts.size() << " lines");
    Reset();
    SetModeWordWrap(r.box > 0 ? EN_TRUE : EN_FALSE);
    SetTextBoxWidth(static_cast<float>(r.box * Adv('A') / 1000.0));
    for (const auto& [height, text] : r.appends) {
      SetTextHeight(height);
      Append(text, r.ex);
    }
    ASSERT_EQ(GetTextLineCount(), static_cast<int>(r.counts.size()));
    std::vector<CharacterLineGapInfo> info(r.counts.size());
    GetCharacterLineGapInfo(info.data());
    for (size_t j = 0; j < r.counts.size(); ++j) {
      EXPECT_EQ(GetCharacterCount(static_cast<int>(j)), r.counts[j]) << j;
      EXPECT_NEAR(info[j].maximumAscent, r.heights[j] * unit[0].maximumAscent, 0.01) << j;
      EXPECT_NEAR(info[j].maximumDescent, r.heights[j] * unit[0].maximumDescent, 0.01) << j;
      EXPECT_NEAR(info[j].maximumLineGap, r.heights[j] * unit[0].maximumLineGap, 0.01) << j;
    }
    int starts = 0;
    for (const CursorPosition& c : Carets()) {
      EXPECT_NEAR(c.lineStart == 1 ? c.topX : 0.0, 0.0, 1e-3) << starts;
      starts += c.lineStart == 1;
    }
    EXPECT_EQ(starts, r.ex ? GetTextLineCount() : 0);
  }
}

// Carets follow the advances, the character gap, the kerning and the tab stops.
TEST_F(Layout, HorizontalCaretsFollowTheAdvances) {
  const double a = Adv('A'), b = Adv('B'), v = Adv('V'), sp = Adv(' ');
  const double kern = Arial()->GetKernAmount('A', 'V');
  ASSERT_LT(kern, 0.0) << "Liberation Sans kerns AV";
  static float stops[2] = {2.0f, 4.0f};
  struct Row {
    std::function<void()> set;
    std::vector<std::u16string> appends;
    std::vector<double> want;
  } rows[] = {
      {[] {}, {u"AB"}, {0, a, a + b}},
      {[] { SetHorizontalCharGap(0.25f); }, {u"A", u"AA"}, {0, a, 2 * a + 250, 3 * a + 500}},
      {[] { SetAutoKern(EN_TRUE); }, {u"AV"}, {0, a, a + v + kern}},
      {[] { SetIndentPositions(stops, 2); },
       {u"\tA\t\tB"},
       {0, 2000, 2000 + a, 4000, 4000 + sp, 4000 + sp + b}},
  };
  for (const Row& r : rows) {
    Reset();
    r.set();
    for (const std::u16string& text : r.appends) Append(text);
    const std::vector<CursorPosition> c = Carets();
    ASSERT_EQ(c.size(), r.want.size());
    EXPECT_EQ(c[0].lineStart, 1);
    for (size_t k = 0; k < c.size(); ++k) EXPECT_NEAR(c[k].topX, r.want[k], 0.01) << k;
  }
}

// On a straight path along x the outlines are the horizontal ones moved by the start, bent or
// not, and off the path by the alignment and spacing.
TEST_F(Layout, TextOnAStraightPath) {
  const OUTLINETEXTMETRICW& otm = Arial()->GetOutlineTextMetrics();
  const double aligned[4] = {0, -1.5 * otm.otmAscent, 1.5 * Arial()->GetTextMetrics().tmDescent,
                             -1.5 * otm.otmsStrikeoutPosition};
  Reset();
  SetTextHeight(1.5f);
  SetHorizontalCharGap(0.1f);
  Append(u"Wave AV");
  const std::vector<Point> line = Drawn(Array());
  for (int align : {0, 1, 2, 3, 9}) {
    for (double spacing : {0.0, 0.25}) {
      for (bool bend : {false, true}) {
        SCOPED_TRACE(testing::Message() << align << ", " << spacing << ", " << bend);
        FinishText();
        SetDeformPathCharacters(bend ? EN_TRUE : EN_FALSE);
        SetPathTextAlign(static_cast<EN_PathTextAlign>(align));
        SetPathTextSpacing(spacing);
        StraightPath(40.0f, 1.5f);
        Append(u"Wave AV");
        const std::vector<Point> path = Drawn(Array());
        ASSERT_EQ(path.size(), line.size());
        for (size_t i = 0; i < path.size(); ++i) {
          EXPECT_EQ(path[i].code, line[i].code) << i;
          EXPECT_NEAR(path[i].x, line[i].x + 1500, 1) << i;  // a single-precision transform
          EXPECT_NEAR(path[i].y, line[i].y + aligned[align % 9] + 1000 * spacing, 1) << i;
        }
      }
    }
  }
}

// On a circle the text stands outside or inside by its direction and flip.
TEST_F(Layout, TextAlongACircle) {
  const double r = 5000.0,
               cap = TTFLoader::Instance().LoadCharacter(Arial(), 'H')->GetMetrics()[kBlackBoxTop],
               half = Adv('H') / 2;
  const double sag = r * (1.0 - std::cos(std::numbers::pi / 90.0)) + 1.0,
               over = half * half / (2 * r) + 1.0;
  struct Row {
    bool ccw, flip;
    double spacing;
    int align;
    bool outside;
  } rows[] = {{false, false, 0.0, 0, true}, {true, false, 0.0, 0, false},
              {false, true, 0.0, 0, false}, {true, true, 0.0, 0, true},
              {false, false, 0.5, 0, true}, {false, false, 0.0, 1, false}};
  for (const Row& c : rows) {
    SCOPED_TRACE(testing::Message() << c.ccw << c.flip << c.spacing << c.align);
    Reset();
    (c.ccw ? SetNurbPathCircleCCW : SetNurbPathCircleCW)(5.0f, 0.0f, 0.0f, 0.0f);
    SetPathTextFlip(c.flip ? EN_TRUE : EN_FALSE);
    SetPathTextSpacing(c.spacing);
    SetPathTextAlign(static_cast<EN_PathTextAlign>(c.align));
    SetModePathText();
    Append(u"HHHH");
    ASSERT_EQ(GetCharacterCount(-1), 4);
    for (const Point& p : Drawn(Array())) {
      const double d = std::hypot(double(p.x), double(p.y)), lift = c.spacing * 1000;
      EXPECT_GE(d, c.outside ? r + lift - sag : r - cap * 1.2);
      EXPECT_LE(d, c.outside ? r + lift + cap * 1.1 : r + over);
    }
  }
}

// The file scripts/install-deps.sh installs (fonts-liberation2).
constexpr char kLiberationSans[] =
    "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";

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
  if (FT_New_Face(library, kLiberationSans, 0, &face) != 0) return false;
  const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const double em = face->units_per_EM;
  const double ppem = 10000.0 * em / (os2->usWinAscent + os2->usWinDescent);
  FT_Load_Char(face, 'A', FT_LOAD_NO_SCALE);
  FT_BBox a;
  FT_Outline_Get_CBox(&face->glyph->outline, &a);
  const double top = std::ceil(a.yMax * ppem / em);
  const double font_scale = std::trunc(1e6 / top) / 1000;
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
  cairo_surface_flush(a.surface), cairo_surface_flush(b.surface);
  const unsigned char *p = cairo_image_surface_get_data(a.surface),
                      *q = cairo_image_surface_get_data(b.surface);
  long ink = 0, differ = 0;
  for (int i = 0; i < cairo_image_surface_get_stride(a.surface) * kHeight; ++i) {
    ink += p[i] > 127 || q[i] > 127;
    differ += std::abs(p[i] - q[i]) > 127;
  }
  return ink == 0 ? 1.0 : static_cast<double>(differ) / static_cast<double>(ink);
}

// The engine equals each golden (one record per line, "#" a note); the golden, rasterised,
// matches the font's own outlines. Four straight segments per curve piece leave a thin fringe
// (below 0.4% of the ink); a wrong glyph, place or scale fails widely, as the same letters one
// place shifted show.
class GoldenRecords : public Layout {};
TEST_F(GoldenRecords, EngineEqualsTheGoldensAndTheyMatchTheFontsOutlines) {
  for (const auto& [name, text] : {std::pair<std::string, std::string>{"hello", "Hello"},
                                   {"wave", "AVATAR Wave"},
                                   {"digits", "0.5% @ 37"}}) {
    SCOPED_TRACE(name);
    Reset();
    Face("Arial");
    Append(std::u16string(text.begin(), text.end()));
    std::ifstream in(std::string(VUZODO_GOLDEN_DIR) + "/" + name + ".txt");
    ASSERT_TRUE(in) << name;
    std::vector<int> golden;
    for (std::string line; std::getline(in, line);) {
      std::istringstream fields(line[0] == '#' ? "" : line);
      for (int v; fields >> v;) golden.push_back(v);
    }
    EXPECT_EQ(Array(), golden);
    ASSERT_EQ(golden.back(), -1);
    Raster ours, reference, other;
    FillRecords(ours, golden);
    ASSERT_TRUE(FillFreeType(reference, text));
    const double mismatch = Mismatch(ours, reference);
    EXPECT_LT(mismatch, 0.01) << "share of ink pixels that differ";
    ASSERT_TRUE(FillFreeType(other, text.substr(1) + text[0]));
    EXPECT_GT(Mismatch(ours, other), 10 * std::max(mismatch, 0.01));
  }
}

}  // namespace
