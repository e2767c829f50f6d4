// Hatching through the engine: real glyphs appended, fill fetched with the
// return types. The inside oracle is the glyph's own outline as the border
// array returns it (winding number worked here), not the library's region.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "vuzodo/vuzodo.h"

namespace {

using Pt = std::pair<double, double>;

struct Record {
  int code;
  Pt from, to;  // absolute, output units
};

// The records of one array with absolute pen positions; arcs are flattened
// into short draws (the shorter arc about the centre, at most a quarter turn).
std::vector<Record> Records(int index, EN_ReturnType type) {
  int* data = nullptr;
  const int n = GetOutLinesEx(index, type, &data, nullptr);
  std::vector<Record> out;
  double x = 0, y = 0;
  for (int p = 0; p < n && data[p] != -1;) {
    const int code = data[p];
    const double nx = x + data[p + 1], ny = y + data[p + 2];
    if (code == 42) {
      const double cx = x + data[p + 3], cy = y + data[p + 4];
      double a0 = std::atan2(y - cy, x - cx), a1 = std::atan2(ny - cy, nx - cx);
      double sweep = a1 - a0;
      while (sweep > M_PI) sweep -= 2 * M_PI;
      while (sweep < -M_PI) sweep += 2 * M_PI;
      const double r = std::hypot(x - cx, y - cy);
      Pt prev{x, y};
      for (int i = 1; i <= 16; ++i) {
        const Pt q = i == 16 ? Pt{nx, ny}
                             : Pt{cx + r * std::cos(a0 + sweep * i / 16),
                                  cy + r * std::sin(a0 + sweep * i / 16)};
        out.push_back({41, prev, q});
        prev = q;
      }
      p += 5;
    } else {
      out.push_back({code, {x, y}, {nx, ny}});
      p += 3;
    }
    x = nx, y = ny;
  }
  DeleteTTFData(data);
  return out;
}

std::vector<Record> Draws(int index, EN_ReturnType type) {
  std::vector<Record> draws;
  for (const Record& r : Records(index, type)) {
    if (r.code == 41) draws.push_back(r);
  }
  return draws;
}

// Nonzero winding of the border draws (each contour is a closed run of draws).
bool InsideOutline(const std::vector<Record>& outline, double x, double y) {
  int winding = 0;
  for (const Record& r : outline) {
    const auto& [ax, ay] = r.from;
    const auto& [bx, by] = r.to;
    const double cross = (bx - ax) * (y - ay) - (x - ax) * (by - ay);
    if (ay <= y && by > y && cross > 0) ++winding;
    if (ay > y && by <= y && cross < 0) --winding;
  }
  return winding != 0;
}

// Samples of the draws of character `index` (type `type`) outside its outline.
int SamplesOutside(int index, EN_ReturnType type, std::size_t& draws) {
  const std::vector<Record> outline = Draws(index, EN_RT_BORDER);
  const std::vector<Record> fill = Draws(index, type);
  draws = fill.size();
  int outside = 0;
  for (const Record& r : fill) {
    for (int s = 0; s <= 10; ++s) {
      const double t = s / 10.0;
      const double x = r.from.first + t * (r.to.first - r.from.first);
      const double y = r.from.second + t * (r.to.second - r.from.second);
      if (!InsideOutline(outline, x, y)) ++outside;
    }
  }
  return outside;
}

std::u16string U(const char* s) {
  return std::u16string(s, s + std::char_traits<char>::length(s));
}

void Append(const char* text) {
  std::u16string t = U(text);
  AppendCharactersEx(reinterpret_cast<unsigned short*>(t.data()));
}

class EngineHatch : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetDefaults();  // also empties the pattern list
  }
  void TearDown() override { ClearTTFHatchPatterns(); }
};

}  // namespace

TEST_F(EngineHatch, FillOfB8AndAtStaysInsideTheGlyph) {
  // Border gap 0.01 (10 output units) keeps rounded records clear of the outline.
  AddTTFHatchPatternLine(0.01f, BORDER_GAP_INWARD, 0.02f, 0.785f, 0, 0, HATCH_SERPENTINE, EN_FALSE);
  AddTTFHatchPatternOffsetFilling(0.05f, EN_OFFSET_OUTSIDE_IN);
  Append("B8@");
  for (int i = 0; i < 3; ++i) {
    for (EN_ReturnType type : {EN_RT_FILL, EN_RT_HATCH_POLYLINES}) {
      std::size_t draws = 0;
      EXPECT_EQ(SamplesOutside(i, type, draws), 0) << "character " << i << " type " << type;
      EXPECT_GT(draws, 10u) << i << " type " << type;
    }
  }
}

TEST_F(EngineHatch, HelixStepsStayInsideTheGlyph) {
  // Regression: a step to the next ring went to its nearest vertex, which on
  // the long edges of "h" and "a" lay across the counter, outside the glyph.
  AddTTFHatchPatternHelixFillingEx(0.03f, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT, EN_CORNER_ROUND, 0,
                                   0);
  Append("ha");
  for (int i = 0; i < 2; ++i) {
    std::size_t draws = 0;
    EXPECT_EQ(SamplesOutside(i, EN_RT_HATCH_POLYLINES, draws), 0) << i;
    EXPECT_GT(draws, 10u);
  }
}

namespace {

double PointSegment(const Pt& p, const Record& s) {
  const double ex = s.to.first - s.from.first, ey = s.to.second - s.from.second;
  const double len2 = ex * ex + ey * ey;
  double t =
      len2 > 0 ? ((p.first - s.from.first) * ex + (p.second - s.from.second) * ey) / len2 : 0;
  t = std::fmax(0.0, std::fmin(1.0, t));
  return std::hypot(s.from.first + t * ex - p.first, s.from.second + t * ey - p.second);
}

double Cross(const Pt& o, const Pt& a, const Pt& b) {
  return (a.first - o.first) * (b.second - o.second) - (a.second - o.second) * (b.first - o.first);
}

// True when the two draws cross at a point inside both (touching ends and
// shared vertices do not count).
bool Crosses(const Record& a, const Record& b) {
  const double d1 = Cross(a.from, a.to, b.from), d2 = Cross(a.from, a.to, b.to);
  const double d3 = Cross(b.from, b.to, a.from), d4 = Cross(b.from, b.to, a.to);
  return ((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0));
}

struct RingCase {
  const char* face;
  const char* letter;
  int helix;   // -1 offset filling, else the helix style
  int corner;  // EN_OffsetCornerStyle
  float gap;   // user units
  int arc;     // arc tolerance, thousandths of U (0: the chord tolerance)
};

}  // namespace

TEST_F(EngineHatch, RingHatchesKeepTheirGapAndNeverCross) {
  // Each row once failed on the glyph named. The hatch must keep the gap to
  // the outline less the tolerances (the chord tolerance of 1 unit for the
  // outline, that of the round corners, one unit of rounding) and no two of
  // its draws may cross.
  const RingCase rows[] = {
      // a helix step went to the nearest point of the next ring, across the bowl
      {"Liberation Serif", "O", EN_HELIX_OUTSIDE_IN, EN_CORNER_ROUND, 0.2f, 0},
      // the last chord of a round corner took one and a half steps
      {"Liberation Sans", "A", -1, EN_CORNER_ROUND, 0.1f, 3},
      // the direct offset left tips narrower than a unit, crossed once rounded
      {"Liberation Serif", "8", -1, EN_CORNER_BEVEL, 0.1f, 0},
  };
  for (const RingCase& row : rows) {
    FinishText();  // each row's glyph is character 0
    SetDefaults();
    const std::u16string face = U(row.face);
    SetFontFace(reinterpret_cast<unsigned short*>(const_cast<char16_t*>(face.c_str())));
    SetTextHeight(10);
    if (row.helix < 0) {
      AddTTFHatchPatternOffsetFillingEx(row.gap, EN_OFFSET_OUTSIDE_IN, EN_OFFSET_DIRECT,
                                        static_cast<EN_OffsetCornerStyle>(row.corner), 0, row.arc);
    } else {
      AddTTFHatchPatternHelixFillingEx(row.gap, static_cast<EN_HelixStyle>(row.helix),
                                       EN_OFFSET_DIRECT,
                                       static_cast<EN_OffsetCornerStyle>(row.corner), 0, row.arc);
    }
    Append(row.letter);
    const std::vector<Record> outline = Draws(0, EN_RT_BORDER);
    const std::vector<Record> hatch = Draws(0, EN_RT_HATCH_POLYLINES);
    ASSERT_GT(hatch.size(), 100u) << row.face << " " << row.letter;
    const double gap = row.gap * 1000.0;
    const double bound = gap - 1.0 - (row.arc > 0 ? row.arc : 1.0) - 1.0;
    double clearance = INFINITY;
    int crossings = 0;
    for (std::size_t i = 0; i < hatch.size(); ++i) {
      for (const Record& o : outline) {
        clearance = std::min({clearance, PointSegment(hatch[i].from, o),
                              PointSegment(hatch[i].to, o), PointSegment(o.to, hatch[i])});
      }
      for (std::size_t j = i + 1; j < hatch.size(); ++j) crossings += Crosses(hatch[i], hatch[j]);
    }
    EXPECT_GE(clearance, bound) << row.face << " " << row.letter;
    EXPECT_EQ(crossings, 0) << row.face << " " << row.letter;
  }
}

TEST_F(EngineHatch, ReturnTypesGiveTheStreamsInTheirOrder) {
  AddTTFHatchPatternLine(0, BORDER_GAP_INWARD, 0.05f, 0, 0, 0, HATCH_UNIDIRECTIONAL, EN_FALSE);
  AddTTFHatchPatternOffsetFilling(0.03f, EN_OFFSET_OUTSIDE_IN);
  Append("O");
  const auto border = Draws(0, EN_RT_BORDER), fill = Draws(0, EN_RT_FILL),
             poly = Draws(0, EN_RT_HATCH_POLYLINES);
  ASSERT_FALSE(border.empty());
  ASSERT_FALSE(fill.empty());
  ASSERT_FALSE(poly.empty());
  auto same = [](const std::vector<Record>& got, std::vector<const std::vector<Record>*> parts) {
    std::vector<Record> want;
    for (const auto* p : parts) want.insert(want.end(), p->begin(), p->end());
    if (got.size() != want.size()) return false;
    for (std::size_t i = 0; i < got.size(); ++i) {
      // The same points within the one unit the carried rounding may move them.
      if (std::fabs(got[i].to.first - want[i].to.first) > 1 ||
          std::fabs(got[i].to.second - want[i].to.second) > 1) {
        return false;
      }
    }
    return true;
  };
  EXPECT_TRUE(same(Draws(0, EN_RT_BORDER_FILL), {&border, &fill}));
  EXPECT_TRUE(same(Draws(0, EN_RT_FILL_BORDER), {&fill, &border}));
  EXPECT_TRUE(same(Draws(0, EN_RT_BORDER_POLYLINES_FILL), {&border, &poly, &fill}));
}

TEST_F(EngineHatch, WithoutTheBorderOnlyTheFillIsDrawn) {
  IncludeBorder(EN_FALSE);
  AddTTFHatchPatternLine(0, BORDER_GAP_INWARD, 0.05f, 0.3f, 0, 0, HATCH_SERPENTINE, EN_FALSE);
  Append("HI");
  EXPECT_TRUE(Draws(-1, EN_RT_BORDER).empty());
  EXPECT_GT(Draws(-1, EN_RT_FILL).size(), 20u);
  EXPECT_EQ(Draws(-1, EN_RT_BORDER_FILL).size(), Draws(-1, EN_RT_FILL).size());
}

TEST_F(EngineHatch, OpenStrokesGiveNoFill) {
  // The FNT fixture: "." is a marked point, "C" arcs and a stroke, "X" strokes, none of them
  // closing a loop.
  const std::u16string face = U(VUZODO_OVF_DATA "/strokes.fnt");
  SetFontFace(reinterpret_cast<unsigned short*>(const_cast<char16_t*>(face.c_str())));
  AddTTFHatchPatternLine(0, BORDER_GAP_INWARD, 0.02f, 0, 0, 0, HATCH_UNIDIRECTIONAL, EN_TRUE);
  AddTTFHatchPatternOffsetFilling(0.02f, EN_OFFSET_OUTSIDE_IN);
  Append(".CX");
  EXPECT_FALSE(Draws(-1, EN_RT_BORDER).empty());  // the strokes are there
  EXPECT_TRUE(Draws(-1, EN_RT_FILL).empty());
  EXPECT_TRUE(Draws(-1, EN_RT_HATCH_POLYLINES).empty());
}

TEST_F(EngineHatch, ShxStrokesGiveNoFillButClosedShapesDo) {
  // The SHX fixture (tests/shx/data/shapes.shp): shape 1 two open vectors,
  // 8 an open octant arc, 3 a box drawn back to its start. The border gap
  // keeps the fill off the box's edges, where an inside test is ambiguous.
  const std::u16string face = U(VUZODO_SHX_FIXTURES "/shapes.shx");
  SetFontFace(reinterpret_cast<unsigned short*>(const_cast<char16_t*>(face.c_str())));
  AddTTFHatchPatternLine(0.01f, BORDER_GAP_INWARD, 0.05f, 0.2f, 0, 0, HATCH_UNIDIRECTIONAL,
                         EN_FALSE);
  const std::u16string text{u'\x01', u'\x08', u'\x03'};
  AppendCharactersEx(reinterpret_cast<unsigned short*>(const_cast<char16_t*>(text.c_str())));
  EXPECT_TRUE(Draws(0, EN_RT_FILL).empty());
  EXPECT_TRUE(Draws(1, EN_RT_FILL).empty());
  std::size_t draws = 0;
  EXPECT_EQ(SamplesOutside(2, EN_RT_FILL, draws), 0);
  EXPECT_GT(draws, 30u);  // the box is 2 units wide: about 40 lines 0.05 apart
}

TEST_F(EngineHatch, PatternsAddedLaterOnlyFillLaterText) {
  Append("I");
  AddTTFHatchPatternLine(0, BORDER_GAP_INWARD, 0.05f, 0, 0, 0, HATCH_UNIDIRECTIONAL, EN_FALSE);
  Append("I");
  EXPECT_TRUE(Draws(0, EN_RT_FILL).empty());
  EXPECT_FALSE(Draws(1, EN_RT_FILL).empty());
}
