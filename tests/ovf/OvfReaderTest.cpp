// The OVF reader against the commands fixture (tests/ovf/data/commands.txt): every command kind,
// the placement matrix, the table and header fields, metrics and the missing-glyph square, all
// worked out by hand from the description's numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "FontTestSupport.h"
#include "OVFFontHandler.h"

namespace {

class OvfCommands : public ::testing::Test {
 protected:
  void SetUp() override { font_.LoadFile(DataPath("commands.ovf")); }

  const OVFShapeInfo& Glyph(int code) {
    const OVFShapeInfo* glyph = font_.FindGlyph(code);
    EXPECT_NE(glyph, nullptr) << code;
    return *glyph;
  }
  template <typename T>
  const T& Entity(const OVFShapeInfo& glyph, std::size_t i, int type) {
    const CQELEntity* e = glyph.GetEntities().at(i).get();
    EXPECT_EQ(e->GetType(), type);
    return *static_cast<const T*>(e);
  }

  OVFFontHandler font_;
};

void ExpectPoint(const NURBSPoint& p, double x, double y, double tol = 0.0) {
  EXPECT_NEAR(p.GetX(), x, tol);
  EXPECT_NEAR(p.GetY(), y, tol);
}

// Golden single-precision Bezier points, twelve per segment, in file order.
std::vector<NURBSPoint> BezierGolden() {
  std::ifstream in(DataPath("bezier.golden"));
  std::vector<NURBSPoint> points;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#' || line.starts_with("segment")) continue;
    std::istringstream fields(line);
    double x = 0, y = 0;
    fields >> x >> y;
    points.emplace_back(x, y);
  }
  return points;
}

TEST_F(OvfCommands, HeaderNamesTrailerAndTable) {
  const OVFFontInfo& info = font_.GetFontInfo();
  EXPECT_EQ(info.word0, 7);
  EXPECT_EQ(info.word1, 9);
  // "Test" (4 units) takes 6 units and "Outline" (7 units) 8; the reals only line up behind
  // them when the padding rule is right.
  EXPECT_EQ(info.name1, u"Test");
  EXPECT_EQ(info.name2, u"Outline");
  const float h[12] = {10, 8, 8, -2, 1, 3, 0, -1, 0.5f, 0, 4, 0.5f};
  for (int i = 0; i < 12; ++i) EXPECT_EQ(info.h[i], h[i]) << i;
  EXPECT_EQ(info.trailer_word, 1234);
  EXPECT_EQ(info.table_end, static_cast<std::int32_t>(font_.GetFileSize()) - 8);
  EXPECT_EQ(info.glyph_count, 9);
  ASSERT_EQ(info.glyphs.size(), 9u);
  const OVFShapeInfo& l = info.glyphs[0];
  EXPECT_EQ(l.GetCode(), 76);
  EXPECT_EQ(l.GetE0() + l.GetE1() + l.GetE2(), 6.0f);
  ExpectPoint(l.GetMin(), 0, 0);
  ExpectPoint(l.GetMax(), 6, 8);
  EXPECT_FALSE(l.IsDecoded());  // drawing data waits until the glyph is asked for
}

TEST_F(OvfCommands, LineAndAdvance) {
  const OVFShapeInfo& g = Glyph('L');
  ASSERT_EQ(g.GetEntities().size(), 1u);
  const auto& line = Entity<CQELLine>(g, 0, CQELEntity::kLine);
  ExpectPoint(line.GetStartPoint(), 0, 0);
  ExpectPoint(line.GetEndPoint(), 4, 8);
  EXPECT_EQ(g.GetAdvance(), 6.0);
}

TEST_F(OvfCommands, ClosedTriangleMovedByTheMatrix) {
  const OVFShapeInfo& g = Glyph('T');
  ASSERT_EQ(g.GetEntities().size(), 1u);
  const auto& poly = Entity<CQELPolyLine>(g, 0, CQELEntity::kPolyLine);
  EXPECT_EQ(poly.GetClosed(), 1);
  const auto& p = poly.GetPoints();
  ASSERT_EQ(p.size(), 3u);
  ExpectPoint(p[0], 2, 1);  // (0, 0) + (2, 1)
  ExpectPoint(p[1], 6, 1);
  ExpectPoint(p[2], 4, 4);
}

TEST_F(OvfCommands, FullAffineMatrix) {
  // x' = 2x + y + 1, y' = 3y - 1: (1, 1) -> (4, 2), (2, 0) -> (5, -1).
  const OVFShapeInfo& g = Glyph('M');
  ASSERT_EQ(g.GetEntities().size(), 1u);
  const auto& line = Entity<CQELLine>(g, 0, CQELEntity::kLine);
  ExpectPoint(line.GetStartPoint(), 4, 2);
  ExpectPoint(line.GetEndPoint(), 5, -1);
}

TEST_F(OvfCommands, CircularArc) {
  const OVFShapeInfo& g = Glyph('O');
  ASSERT_EQ(g.GetEntities().size(), 1u);
  const auto& arc = Entity<CQELEllipticalArc>(g, 0, CQELEntity::kEllipticalArc);
  ExpectPoint(arc.GetCenter(), 5, 5);
  ExpectPoint(arc.GetAxisPoint(), 4, 0);
  EXPECT_EQ(arc.GetRatio(), 1.0);
  EXPECT_EQ(arc.GetStartAngle(), 0.0);
  EXPECT_EQ(arc.GetSweep(), static_cast<double>(6.2831855f));
}

TEST_F(OvfCommands, EllipticalArcsAtZeroAndNinetyDegrees) {
  // An ellipse is placed as its flattened image under the matrix (here a move by (1, 2)), so the
  // whole shape moves, not just its centre. Both have a = 4, b = 2 about (5, 3) + (1, 2); the
  // points step by sweep / ceil(|sweep| / 0.0872222) and lie on the ellipse.
  struct Row {
    double phi;             // axis direction
    std::size_t points;     // ceil(sweep / step) + 1
    double x0, y0, x1, y1;  // first and last point
    double rx, ry;          // half axes along x and y after the turn by phi
  };
  const Row rows[] = {
      {0.0, 38, 10, 5, 2, 5, 4, 2},  // sweep pi: the upper half, (10, 5) to (2, 5)
      {1.5707964, 13, 6, 9, 6 - 2 * std::sin(1.0), 5 + 4 * std::cos(1.0), 2, 4},  // sweep 1
  };
  const OVFShapeInfo& g = Glyph('E');
  ASSERT_EQ(g.GetEntities().size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const Row& r = rows[i];
    const auto& poly = Entity<CQELPolyLine>(g, i, CQELEntity::kPolyLine);
    EXPECT_EQ(poly.GetClosed(), 0) << r.phi;
    const auto& p = poly.GetPoints();
    ASSERT_EQ(p.size(), r.points) << r.phi;
    ExpectPoint(p.front(), r.x0, r.y0, 1e-5);
    ExpectPoint(p.back(), r.x1, r.y1, 1e-5);
    for (const NURBSPoint& q : p) {
      const double u = (q.GetX() - 6) / r.rx, v = (q.GetY() - 5) / r.ry;
      EXPECT_NEAR(u * u + v * v, 1.0, 1e-6) << r.phi;
    }
  }
}

TEST_F(OvfCommands, BezierPathsFlattenedInSinglePrecision) {
  const std::vector<NURBSPoint> golden = BezierGolden();
  ASSERT_EQ(golden.size(), 36u);
  const OVFShapeInfo& g = Glyph('B');
  ASSERT_EQ(g.GetEntities().size(), 2u);

  const auto& open = Entity<CQELPolyLine>(g, 0, CQELEntity::kPolyLine);
  ASSERT_EQ(open.GetPoints().size(), 12u);
  EXPECT_EQ(open.GetClosed(), 0);
  // P0 and B(0) both open the list.
  EXPECT_EQ(open.GetPoints()[0].GetX(), open.GetPoints()[1].GetX());
  EXPECT_EQ(open.GetPoints()[0].GetY(), open.GetPoints()[1].GetY());
  for (std::size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(open.GetPoints()[i].GetX(), golden[i].GetX()) << i;
    EXPECT_EQ(open.GetPoints()[i].GetY(), golden[i].GetY()) << i;
  }
  // Two segments of a path that returns to its start: 24 points, closed.
  const auto& closed = Entity<CQELPolyLine>(g, 1, CQELEntity::kPolyLine);
  ASSERT_EQ(closed.GetPoints().size(), 24u);
  EXPECT_EQ(closed.GetClosed(), 1);
  for (std::size_t i = 0; i < 24; ++i) {
    EXPECT_EQ(closed.GetPoints()[i].GetX(), golden[12 + i].GetX()) << i;
    EXPECT_EQ(closed.GetPoints()[i].GetY(), golden[12 + i].GetY()) << i;
  }
}

TEST_F(OvfCommands, DotsAroundAnUnknownCommandWord) {
  // Scale 2: (1, 0.5) -> (2, 1) and (3, 0) -> (6, 0). The word 99 between them is skipped alone;
  // skipping more would lose or garble the second dot.
  const OVFShapeInfo& g = Glyph('.');
  ASSERT_EQ(g.GetEntities().size(), 2u);
  ExpectPoint(Entity<CQELDot>(g, 0, CQELEntity::kDot).GetPosition(), 2, 1);
  ExpectPoint(Entity<CQELDot>(g, 1, CQELEntity::kDot).GetPosition(), 6, 0);
  EXPECT_EQ(g.GetAdvance(), 4.0);
}

TEST_F(OvfCommands, OnlyTheFirstPlacementRecordIsDrawn) {
  const OVFShapeInfo& g = Glyph('W');
  EXPECT_EQ(g.GetRecordCount(), 2);
  ASSERT_EQ(g.GetRecords().size(), 2u);
  ASSERT_EQ(g.GetEntities().size(), 1u);
  ExpectPoint(Entity<CQELLine>(g, 0, CQELEntity::kLine).GetEndPoint(), 1, 1);
  EXPECT_EQ(g.GetAdvance(), 2.0);
}

TEST_F(OvfCommands, FirstEntryOfACodeWinsAndDecodesOnce) {
  const OVFShapeInfo* first = font_.FindGlyph('L');
  const OVFShapeInfo* again = font_.FindGlyph('L');
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, again);
  EXPECT_EQ(first->GetAdvance(), 6.0);
  EXPECT_EQ(first->GetEntities().size(), 1u);
  EXPECT_FALSE(font_.GetFontInfo().glyphs[8].IsDecoded());
}

TEST_F(OvfCommands, BuildGlyphHandsOverCopies) {
  std::optional<ReaderGlyph> glyph = font_.BuildGlyph('T');
  ASSERT_TRUE(glyph.has_value());
  EXPECT_EQ(glyph->code, 'T');
  ASSERT_EQ(glyph->outline.size(), 1u);
  ExpectPoint(glyph->box_min, 0, 0);
  ExpectPoint(glyph->box_max, 7, 5);
  EXPECT_EQ(glyph->advance, 7.0);
  // The copy is the caller's: changing it leaves the font's glyph alone.
  static_cast<CQELPolyLine*>(glyph->outline[0])->GetPoints()[0].SetX(100.0);
  const auto* kept = static_cast<const CQELPolyLine*>(font_.FindGlyph('T')->GetEntities()[0].get());
  EXPECT_EQ(kept->GetPoints()[0].GetX(), 2.0);
  EXPECT_FALSE(font_.BuildGlyph('Z').has_value());
  EXPECT_EQ(font_.FindGlyph('Z'), nullptr);
}

TEST_F(OvfCommands, MetricsAndShapeScale) {
  EXPECT_EQ(font_.ShapeScale(1000.0), 100.0);  // U / h0
  const OVFFontMetrics m = font_.Metrics(1000.0);
  EXPECT_EQ(m.tmHeight, 10000);
  EXPECT_EQ(m.tmAscent, 8000);
  EXPECT_EQ(m.tmDescent, 2000);
  EXPECT_EQ(m.tmInternalLeading, 164);
  EXPECT_EQ(m.tmExternalLeading, 46);
  EXPECT_EQ(m.tmAveCharWidth, 616);
  EXPECT_EQ(m.tmMaxCharWidth, 3720);
  EXPECT_EQ(m.tmWeight, 400);
  EXPECT_EQ(m.otmEMSquare, 2048u);
  EXPECT_EQ(m.otmAscent, 8000);
  EXPECT_EQ(m.otmDescent, -2000);
  EXPECT_EQ(m.otmLineGap, 1000u);
  EXPECT_EQ(m.otmsCapEmHeight, 698u);
  EXPECT_EQ(m.otmrcFontBox_top, 10000);
  EXPECT_EQ(m.otmrcFontBox_right, 8000);
  EXPECT_EQ(m.otmrcFontBox_left, 0);
  EXPECT_EQ(m.otmrcFontBox_bottom, 0);
  EXPECT_EQ(m.otmMacDescent, -2000);
  EXPECT_EQ(m.otmsStrikeoutPosition, 3000);
  EXPECT_EQ(m.otmptSubscriptSize_x, 500);
  EXPECT_EQ(m.otmptSubscriptSize_y, 500);
  EXPECT_EQ(m.otmptSubscriptOffset_x, 0);
  EXPECT_EQ(m.otmptSubscriptOffset_y, -1000);
  EXPECT_EQ(m.otmptSuperscriptSize_y, 500);
  EXPECT_EQ(m.otmptSuperscriptOffset_y, 4000);
  // Truncation towards zero: 0.5 x 3 = 1.5 -> 1; -1 x 3 -> -3; 0.164 x 3 = 0.492 -> 0.
  const OVFFontMetrics small = font_.Metrics(3.0);
  EXPECT_EQ(small.otmptSubscriptSize_x, 1);
  EXPECT_EQ(small.otmptSubscriptOffset_y, -3);
  EXPECT_EQ(small.tmInternalLeading, 0);
  EXPECT_EQ(small.tmMaxCharWidth, 11);  // 3.72 x 3 = 11.16
}

TEST(OvfLoad, WidePathReadsTheWholeFile) {
  const std::string narrow = DataPath("commands.ovf");
  std::vector<unsigned short> wide(narrow.begin(), narrow.end());
  wide.push_back(0);
  OVFFontHandler font;
  font.Load(wide.data());
  EXPECT_EQ(font.GetFileSize(), ReadBytes(narrow).size());
  EXPECT_EQ(font.GetFontInfo().glyphs.size(), 9u);
  ASSERT_NE(font.FindGlyph('O'), nullptr);
}

TEST(OvfMissing, UnopenableFileAndTheSquare) {
  OVFFontHandler font;
  const unsigned short path[] = {'/', 'n', 'o', '/', 'x', '.', 'o', 'v', 'f', 0};
  font.Load(path);
  EXPECT_TRUE(font.GetFontInfo().glyphs.empty());
  EXPECT_EQ(font.FindGlyph('A'), nullptr);
  EXPECT_EQ(font.ShapeScale(1000.0), 1.0);  // no height: outlines stay as they are

  ReaderGlyph square = MissingGlyphSquare('A', 1000.0);
  EXPECT_EQ(square.code, 'A');
  ASSERT_EQ(square.outline.size(), 1u);
  const auto* poly = static_cast<const CQELPolyLine*>(square.outline[0]);
  EXPECT_EQ(poly->GetType(), CQELEntity::kPolyLine);
  EXPECT_EQ(poly->GetClosed(), 1);
  ASSERT_EQ(poly->GetPoints().size(), 4u);
  ExpectPoint(poly->GetPoints()[0], 0, 0);
  ExpectPoint(poly->GetPoints()[1], 1000, 0);
  ExpectPoint(poly->GetPoints()[2], 1000, 1000);
  ExpectPoint(poly->GetPoints()[3], 0, 1000);
  ExpectPoint(square.box_min, 0, 0);
  ExpectPoint(square.box_max, 1000, 1000);
  EXPECT_EQ(square.advance, 1000.0);
  std::vector<CQELEntity*> taken = square.ReleaseOutline();
  EXPECT_TRUE(square.outline.empty());
  for (CQELEntity* e : taken) delete e;
}

}  // namespace
