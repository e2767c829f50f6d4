// The FNT reader on small texts whose strokes, dots, arcs, boxes and advances are worked out by
// hand.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <sstream>
#include <string>

#include "FntReader.h"

namespace {

std::vector<ReaderGlyph> Read(const std::string& text, int mode = kFntArcsAsPoints) {
  std::istringstream in(text);
  return ReadFntStream(in, mode);
}

const CQELPolyLine& Poly(const ReaderGlyph& g, std::size_t i) {
  const CQELEntity* e = g.outline.at(i);
  EXPECT_EQ(e->GetType(), CQELEntity::kPolyLine);
  return *static_cast<const CQELPolyLine*>(e);
}

void ExpectPoint(const NURBSPoint& p, double x, double y, double tol = 1e-12) {
  EXPECT_NEAR(p.GetX(), x, tol);
  EXPECT_NEAR(p.GetY(), y, tol);
}

TEST(FntStrokes, SquareClosesOnItsStart) {
  auto glyphs = Read("def 65\nd 1,0\nd 0,1\nd -1,0\nd 0,-1\n");
  ASSERT_EQ(glyphs.size(), 1u);
  EXPECT_EQ(glyphs[0].code, 65);
  ASSERT_EQ(glyphs[0].outline.size(), 1u);
  const CQELPolyLine& square = Poly(glyphs[0], 0);
  EXPECT_EQ(square.GetClosed(), 1);
  ASSERT_EQ(square.GetPoints().size(), 4u);
  ExpectPoint(square.GetPoints()[2], 1, 1);
  ExpectPoint(glyphs[0].box_min, 0, 0);
  ExpectPoint(glyphs[0].box_max, 1, 1);
  EXPECT_EQ(glyphs[0].advance, 0.0);  // the pen ends back at x = 0
}

TEST(FntStrokes, ZeroMovesKeepTheStrokeRealMovesBreakIt) {
  // m 0,0 and a move below 1e-7 do nothing; m 0.001,0 ends the stroke.
  auto glyphs = Read(
      "def 1\nd 1,0\nm 0,0\nd 1,0\nm 0.00000005,-0.00000009\nd 1,0\n"
      "m 0.001,0\nd 1,0\n");
  ASSERT_EQ(glyphs.size(), 1u);
  ASSERT_EQ(glyphs[0].outline.size(), 2u);
  const CQELPolyLine& first = Poly(glyphs[0], 0);
  EXPECT_EQ(first.GetClosed(), 0);
  ASSERT_EQ(first.GetPoints().size(), 4u);
  ExpectPoint(first.GetPoints()[3], 3, 0);
  const CQELPolyLine& second = Poly(glyphs[0], 1);
  ASSERT_EQ(second.GetPoints().size(), 2u);
  ExpectPoint(second.GetPoints()[0], 3.001, 0);
  ExpectPoint(second.GetPoints()[1], 4.001, 0);
  EXPECT_DOUBLE_EQ(glyphs[0].advance, 4.001);
}

TEST(FntStrokes, CodesTruncateTowardsZero) {
  auto glyphs = Read("def 66.9\nd 1,1\ndef -3.7\nd 1,1\ndef x\nd 1,1\n");
  ASSERT_EQ(glyphs.size(), 3u);
  EXPECT_EQ(glyphs[0].code, 66);
  EXPECT_EQ(glyphs[1].code, -3);
  EXPECT_EQ(glyphs[2].code, 0);  // a number that does not parse is 0
}

TEST(FntStrokes, PointPlacesADotAndBreaksTheStroke) {
  auto glyphs = Read("def 46\nd 2,0\npoint 1,1\nd 1,0\n");
  ASSERT_EQ(glyphs.size(), 1u);
  const ReaderGlyph& g = glyphs[0];
  ASSERT_EQ(g.outline.size(), 3u);
  EXPECT_EQ(Poly(g, 0).GetPoints().size(), 2u);
  EXPECT_EQ(Poly(g, 0).GetClosed(), 0);
  ASSERT_EQ(g.outline[1]->GetType(), CQELEntity::kDot);
  ExpectPoint(static_cast<const CQELDot*>(g.outline[1])->GetPosition(), 3, 1);
  ExpectPoint(Poly(g, 2).GetPoints()[0], 3, 1);
  ExpectPoint(Poly(g, 2).GetPoints()[1], 4, 1);
  ExpectPoint(g.box_min, 0, 0);
  ExpectPoint(g.box_max, 4, 1);
  EXPECT_EQ(g.advance, 4.0);
}

TEST(FntStrokes, CharactersInFileOrderAndEmptyCharacters) {
  // Lines before the first "def" belong to no character and are dropped.
  auto glyphs = Read("d 5,5\npoint 1,1\n\n  def 32  \nm 5,0\ndef 33\r\npoint 0,2\r\nm 1,-2\r\n");
  ASSERT_EQ(glyphs.size(), 2u);
  EXPECT_EQ(glyphs[0].code, 32);
  EXPECT_TRUE(glyphs[0].outline.empty());
  // No geometry: the box stays at its start values, which the metric rule reads as empty.
  EXPECT_EQ(glyphs[0].box_min.GetX(), 3.4e38);
  EXPECT_EQ(glyphs[0].box_max.GetY(), -3.4e38);
  EXPECT_EQ(glyphs[0].advance, 5.0);
  EXPECT_EQ(glyphs[1].code, 33);
  ASSERT_EQ(glyphs[1].outline.size(), 1u);
  ExpectPoint(glyphs[1].box_min, 0, 2);
  ExpectPoint(glyphs[1].box_max, 0, 2);
  EXPECT_EQ(glyphs[1].advance, 1.0);
}

// A quarter circle of radius 2 about the origin, from (2, 0) to (0, 2), then the pen moves on.
constexpr const char* kQuarter = "def 67\nm 2,0\na -2,2,-2,0\nm 3,-2\n";

TEST(FntArcs, ModeOneMakesAnArcEntity) {
  auto glyphs = Read(kQuarter, kFntArcsAsEntities);
  ASSERT_EQ(glyphs.size(), 1u);
  ASSERT_EQ(glyphs[0].outline.size(), 1u);
  ASSERT_EQ(glyphs[0].outline[0]->GetType(), CQELEntity::kEllipticalArc);
  const auto* arc = static_cast<const CQELEllipticalArc*>(glyphs[0].outline[0]);
  ExpectPoint(arc->GetCenter(), 0, 0, 1e-9);
  const double radius = std::hypot(arc->GetAxisPoint().GetX(), arc->GetAxisPoint().GetY());
  EXPECT_NEAR(radius, 2.0, 1e-9);
  EXPECT_NEAR(std::fabs(arc->GetSweep()), std::numbers::pi / 2, 1e-9);
  // Whatever way the arc is parametrised, its start is (2, 0) and its end (0, 2).
  const double axis = std::atan2(arc->GetAxisPoint().GetY(), arc->GetAxisPoint().GetX());
  const double a0 = axis + arc->GetStartAngle(), a1 = a0 + arc->GetSweep();
  ExpectPoint(NURBSPoint(2 * std::cos(a0), 2 * std::sin(a0)), 2, 0, 1e-9);
  ExpectPoint(NURBSPoint(2 * std::cos(a1), 2 * std::sin(a1)), 0, 2, 1e-9);
  ExpectPoint(glyphs[0].box_min, 0, 0, 1e-9);
  ExpectPoint(glyphs[0].box_max, 2, 2, 1e-9);
  EXPECT_DOUBLE_EQ(glyphs[0].advance, 3.0);  // the arc moved the pen to (0, 2)
}

TEST(FntArcs, ModeTwoAddsArcPointsToTheStroke) {
  auto glyphs = Read("def 67\nd 2,0\na -2,2,-2,0\nd 0,1\n", kFntArcsAsPoints);
  ASSERT_EQ(glyphs.size(), 1u);
  ASSERT_EQ(glyphs[0].outline.size(), 1u);  // one stroke: line, arc points, line
  const auto& pts = Poly(glyphs[0], 0).GetPoints();
  ASSERT_GE(pts.size(), 12u);  // about 5 degrees apart: some 18 arc points
  ExpectPoint(pts[0], 0, 0);
  ExpectPoint(pts[1], 2, 0);
  ExpectPoint(pts[pts.size() - 2], 0, 2, 1e-9);
  ExpectPoint(pts.back(), 0, 3, 1e-9);
  double last_angle = 0.0;
  for (std::size_t i = 2; i + 1 < pts.size(); ++i) {
    EXPECT_NEAR(std::hypot(pts[i].GetX(), pts[i].GetY()), 2.0, 1e-9) << i;
    const double angle = std::atan2(pts[i].GetY(), pts[i].GetX());
    EXPECT_GT(angle, last_angle) << i;  // counter-clockwise, the shorter way
    last_angle = angle;
  }
  ExpectPoint(glyphs[0].box_min, 0, 0, 1e-9);
  ExpectPoint(glyphs[0].box_max, 2, 3, 1e-9);
  EXPECT_NEAR(glyphs[0].advance, 0.0, 1e-9);
}

TEST(FntArcs, OtherModesDropArcLinesAndKeepThePen) {
  for (int mode : {0, 3, -1}) {
    auto glyphs = Read("def 67\nm 2,0\na -2,2,-2,0\nd 1,0\n", mode);
    ASSERT_EQ(glyphs.size(), 1u);
    ASSERT_EQ(glyphs[0].outline.size(), 1u) << mode;
    const auto& pts = Poly(glyphs[0], 0).GetPoints();
    ASSERT_EQ(pts.size(), 2u);
    ExpectPoint(pts[0], 2, 0);
    ExpectPoint(pts[1], 3, 0);
    EXPECT_EQ(glyphs[0].advance, 3.0);
  }
}

TEST(FntMalformed, ShortAndBadLinesAreDroppedAlone) {
  const std::string text =
      "def 70\n"
      "d 1\n"            // too few numbers
      "d\n"              // none
      "d 1e400,0\n"      // overflows to infinity
      "d nan,0\n"        // not a number
      "d 2e6,0\n"        // beyond any stroke font
      "a 1,1,1\n"        // an arc with three numbers
      "point 5\n"        // a point with one
      "pen 1,1\n"        // p but not point
      "q 1,1\n"          // no such command
      "d abc,2\n"        // does not parse: 0
      "d 1,0,9,9,9,9\n"  // extra numbers are ignored
      "  d 0,1  \r\n";   // white space and CR trimmed
  auto glyphs = Read(text);
  ASSERT_EQ(glyphs.size(), 1u);
  ASSERT_EQ(glyphs[0].outline.size(), 1u);
  const auto& pts = Poly(glyphs[0], 0).GetPoints();
  ASSERT_EQ(pts.size(), 4u);
  ExpectPoint(pts[1], 0, 2);
  ExpectPoint(pts[2], 1, 2);
  ExpectPoint(pts[3], 1, 3);
}

TEST(FntMalformed, BadDefDropsItsWholeCharacter) {
  auto glyphs = Read("def 65\nd 1,0\ndef\nd 5,5\ndef 1e20\nd 6,6\ndef 66\nd 0,1\n");
  ASSERT_EQ(glyphs.size(), 2u);
  EXPECT_EQ(glyphs[0].code, 65);
  EXPECT_EQ(Poly(glyphs[0], 0).GetPoints().size(), 2u);  // nothing of the dropped ones added
  EXPECT_EQ(glyphs[1].code, 66);
  EXPECT_EQ(Poly(glyphs[1], 0).GetPoints().size(), 2u);
}

TEST(FntMalformed, OverlongLineAndMissingFile) {
  std::string text = "def 65\nd " + std::string(10000, '1') + ",0\nd 1,0\n";
  auto glyphs = Read(text);
  ASSERT_EQ(glyphs.size(), 1u);
  ExpectPoint(Poly(glyphs[0], 0).GetPoints().back(), 1, 0);
  EXPECT_TRUE(ReadFntFile(std::string("/no/such/font.fnt"), 2).empty());
  const unsigned short missing[] = {'/', 'n', 'o', '.', 'f', 'n', 't', 0};
  EXPECT_TRUE(ReadFntFile(missing, 2).empty());
  EXPECT_TRUE(ReadFntFile(static_cast<const unsigned short*>(nullptr), 2).empty());
}

}  // namespace
