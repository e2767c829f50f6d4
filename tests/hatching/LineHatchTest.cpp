// Line patterns on hand-made regions. Expected lines are worked by hand from the
// region and the k * gap grid; the inside checks use the winding number of the
// hand-made rings, not the library's region.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "HatchTestSupport.h"
#include "qelhatching/qelhatching.h"

using namespace hatchtest;

namespace {

class LineHatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearListOfHatchPatterns();
    qelhatching::SetUnitSize(1000.0);
  }
  void TearDown() override { ClearListOfHatchPatterns(); }
  static void Line(float border, int dir, float gap, float angle, float bx, float by, int style,
                   bool with_offset = false) {
    AddHatchPatternLine(border, static_cast<borderGapDirection>(dir), gap, angle, bx, by,
                        static_cast<hatchStyle>(style), with_offset ? EN_TRUE : EN_FALSE);
  }
};

const Ring kSquare = Rect(0, 0, 1000, 1000);

// The offset of the segment's line from the base point along the normal, in gaps.
double GridPosition(const Seg& s, double angle, double bx, double by, double gap, double t) {
  const double x = s.x0 + t * (s.x1 - s.x0) - bx, y = s.y0 + t * (s.y1 - s.y0) - by;
  return (-std::sin(angle) * x + std::cos(angle) * y) / gap;
}

}  // namespace

TEST_F(LineHatch, SquareWithBorderGapGivesNineFullLinesLeftToRight) {
  // Region 50..950 after the 50 gap; lines y = 100k through (0, 0): k = 1..9.
  Line(50, 0, 100, 0, 0, 0, HATCH_UNIDIRECTIONAL);
  const Fill f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.lines.size(), 9u);
  EXPECT_TRUE(f.polys.empty());
  for (std::size_t i = 0; i < f.lines.size(); ++i) {
    const Seg& s = f.lines[i];
    EXPECT_NEAR(s.y0, 100.0 * (i + 1), 0.2) << i;  // bottom up: the least travel from line 1
    EXPECT_NEAR(s.y1, s.y0, 1e-9);
    EXPECT_NEAR(s.x0, 50, 0.2);
    EXPECT_NEAR(s.x1, 950, 0.2);
  }
}

TEST_F(LineHatch, LinesSitOnTheGridThroughTheBasePointAtAnyAngle) {
  // Two characters far apart share one grid: every endpoint is on k * gap.
  const double angle = 0.785f, bx = 7, by = 11, gap = 37;
  Line(0, 0, static_cast<float>(gap), static_cast<float>(angle), bx, by, HATCH_SERPENTINE);
  for (double shift : {0.0, 12345.0}) {
    const Fill f = Hatch({Polygon(Rect(shift, 0, shift + 600, 900))});
    ASSERT_GT(f.lines.size(), 20u);
    for (const Seg& s : f.lines) {
      for (double t : {0.0, 1.0}) {
        const double k = GridPosition(s, angle, bx, by, gap, t);
        EXPECT_NEAR(k, std::round(k), 0.01) << shift;
      }
    }
    EXPECT_EQ(SamplesOutside(f, {Rect(shift, 0, shift + 600, 900)}, 0.2), 0);
  }
}

TEST_F(LineHatch, HoleSplitsLinesAndOverlapsUniteByTheNonzeroRule) {
  // Square with an opposite-wound hole 300..700; lines y = 50 + 100k.
  Line(0, 0, 100, 0, 0, 50, HATCH_UNIDIRECTIONAL);
  Fill f = Hatch({Polygon(kSquare), Polygon(Rect(300, 300, 700, 700, false))});
  // Rows 350..650 cross the hole: 4 rows x 2 pieces + 6 full rows.
  ASSERT_EQ(f.lines.size(), 14u);
  double length = 0;
  for (const Seg& s : f.lines) length += std::hypot(s.x1 - s.x0, s.y1 - s.y0);
  EXPECT_NEAR(length, 6 * 1000 + 4 * 600, 2.0);

  // Two same-wound squares overlapping on 400..600: one region, full rows.
  f = Hatch({Polygon(Rect(0, 0, 600, 600)), Polygon(Rect(400, 0, 1000, 600))});
  ASSERT_EQ(f.lines.size(), 6u);
  for (const Seg& s : f.lines) EXPECT_NEAR(std::fabs(s.x1 - s.x0), 1000, 0.2);
  // Wound against each other the overlap has winding 0 and stays empty.
  f = Hatch({Polygon(Rect(0, 0, 600, 600)), Polygon(Rect(400, 0, 1000, 600, false))});
  EXPECT_EQ(f.lines.size(), 12u);
}

TEST_F(LineHatch, SerpentineAlternatesAndPassesSpreadTheLines) {
  Line(50, 0, 100, 0, 0, 0, HATCH_SERPENTINE);
  Fill f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.lines.size(), 9u);
  for (std::size_t i = 1; i < f.lines.size(); ++i) {
    const bool right = f.lines[i].x1 > f.lines[i].x0, prev = f.lines[i - 1].x1 > f.lines[i - 1].x0;
    EXPECT_NE(right, prev) << i;
    EXPECT_NEAR(f.lines[i].x0, f.lines[i - 1].x1, 0.2);  // each starts where the last ended
  }

  ClearListOfHatchPatterns();
  Line(50, 0, 100, 0, 0, 0, HATCH_THREE_PASSES);
  f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.lines.size(), 9u);
  // Pass k mod 3 == 0 (300, 600, 900), then 1 (100, 400, 700), then 2.
  for (std::size_t i = 0; i < 9; ++i) {
    const long k = std::lround(f.lines[i].y0 / 100);
    EXPECT_EQ(k % 3, static_cast<long>(i / 3)) << i;
  }

  ClearListOfHatchPatterns();
  Line(50, 0, 100, 0, 0, 0, HATCH_TWO_PASSES);
  f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.lines.size(), 9u);
  for (std::size_t i = 0; i < 9; ++i) {
    EXPECT_EQ(std::lround(f.lines[i].y0 / 100) % 2, i < 4 ? 0 : 1) << i;
  }
}

TEST_F(LineHatch, DoubleFillAddsTheFamilyAtRightAngles) {
  Line(50, 0, 100, 0, 0, 0, HATCH_DOUBLE);
  const Fill f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.lines.size(), 18u);
  const auto vertical = std::count_if(f.lines.begin(), f.lines.end(), [](const Seg& s) {
    return std::fabs(s.x1 - s.x0) < 0.5 && std::fabs(s.y1 - s.y0) > 899;
  });
  EXPECT_EQ(vertical, 9);
  EXPECT_EQ(SamplesOutside(f, {Rect(50, 50, 950, 950)}, 0.2), 0);
}

TEST_F(LineHatch, OutwardGapGrowsTheRegionAndWithOffsetMarksTheContour) {
  Line(50, 1, 100, 0, 0, 0, HATCH_UNIDIRECTIONAL, true);
  const Fill f = Hatch({Polygon(kSquare)});
  // Grown to -50..1050 (miter corners keep a square): rows y = 0..1000.
  ASSERT_EQ(f.lines.size(), 11u);
  for (const Seg& s : f.lines) EXPECT_NEAR(std::fabs(s.x1 - s.x0), 1100, 0.2);
  ASSERT_EQ(f.polys.size(), 1u);
  EXPECT_TRUE(f.polys[0].closed);
  EXPECT_NEAR(std::fabs(Area(f.polys[0].points)), 1100.0 * 1100.0, 200);
}

TEST_F(LineHatch, ConnectedSerpentineIsOnePathInsideASquare) {
  Line(50, 0, 100, 0, 0, 0, HATCH_SERPENTINE_CONNECTED);
  const Fill f = Hatch({Polygon(kSquare)});
  EXPECT_TRUE(f.lines.empty());
  ASSERT_EQ(f.polys.size(), 1u);
  EXPECT_FALSE(f.polys[0].closed);
  EXPECT_EQ(f.polys[0].points.size(), 18u);  // 9 rows, joined at the sides
  EXPECT_EQ(SamplesOutside(f, {Rect(50, 50, 950, 950)}, 0.2), 0);
}

TEST_F(LineHatch, ConnectedSerpentineNeverBridgesAConcaveNotch) {
  // A "U": bar 50..350 high, legs 0..300 and 700..1000 up to 1050. Rows
  // y = 100..1000; a link across the notch would leave the region.
  const Ring u{{0, 50},    {1000, 50}, {1000, 1050}, {700, 1050},
               {700, 350}, {300, 350}, {300, 1050},  {0, 1050}};
  Line(0, 0, 100, 0, 0, 0, HATCH_SERPENTINE_CONNECTED);
  Fill f = Hatch({Polygon(u)});
  EXPECT_EQ(SamplesOutside(f, {u}, 0.2), 0);
  EXPECT_EQ(f.polys.size(), 2u);  // the bar with one leg, and the other leg

  // The optimised pattern finds the same two parts, with a longer link allowed.
  ClearListOfHatchPatterns();
  AddHatchPatternOptimized(0, BORDER_GAP_INWARD, 100, 0, 1000, HATCH_SERPENTINE);
  f = Hatch({Polygon(u)});
  ASSERT_EQ(f.polys.size(), 2u);
  EXPECT_EQ(SamplesOutside(f, {u}, 0.2), 0);
  double rows = 0;  // horizontal length: 3 full rows of 1000, 14 leg rows of 300
  for (const Poly& p : f.polys) {
    for (std::size_t i = 0; i + 1 < p.points.size(); ++i) {
      if (std::fabs(p.points[i].second - p.points[i + 1].second) < 0.5) {
        rows += std::fabs(p.points[i + 1].first - p.points[i].first);
      }
    }
  }
  EXPECT_NEAR(rows, 3 * 1000 + 14 * 300, 5);
}

TEST_F(LineHatch, IncrementalAndLatticeFamilies) {
  AddHatchPatternIncremental(50, BORDER_GAP_INWARD, 100, 0, std::numbers::pi / 2, 2,
                             HATCH_UNIDIRECTIONAL);
  Fill f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.lines.size(), 18u);  // 9 rows at 0, then 9 columns at 90 degrees
  for (std::size_t i = 0; i < 9; ++i) EXPECT_NEAR(f.lines[i].y0, f.lines[i].y1, 1e-6);
  for (std::size_t i = 9; i < 18; ++i) EXPECT_NEAR(f.lines[i].x0, f.lines[i].x1, 0.01);

  ClearListOfHatchPatterns();
  // gapU 100 rows y = 50 + 100k (10), gapV 200 columns x = 50 + 200k (5).
  AddHatchPatternLattice(100, 200, 0, 50, 50, true);
  f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.lines.size(), 15u);
  for (std::size_t i = 10; i < 15; ++i) {
    const double k = (f.lines[i].x0 - 50) / 200;
    EXPECT_NEAR(k, std::round(k), 1e-3);
  }
  EXPECT_EQ(SamplesOutside(f, {kSquare}, 0.2), 0);
}

TEST_F(LineHatch, CornerStylesOfTheBorderGap) {
  // Square grown by 100 and marked (withOffset). Miter: the square 1200 wide.
  // Bevel: each right-angle corner cut square to its bisector at the distance,
  // removing a triangle of area ((sqrt 2 - 1) * 100)^2. Round: quarter circles.
  const double cut = std::pow((std::sqrt(2.0) - 1) * 100, 2);
  const struct {
    EN_OffsetCornerStyle corner;
    double area;
  } cases[] = {{EN_CORNER_MITER, 1200.0 * 1200},
               {EN_CORNER_BEVEL, 1200.0 * 1200 - 4 * cut},
               {EN_CORNER_ROUND, 1200.0 * 1200 - (4 - std::numbers::pi) * 100 * 100}};
  for (const auto& c : cases) {
    ClearListOfHatchPatterns();
    AddHatchPatternLineEx(100, BORDER_GAP_OUTWARD, 100, 0, 0, 50, HATCH_UNIDIRECTIONAL, EN_TRUE,
                          EN_OFFSET_CLEANUP, c.corner, 0, 1);
    const Fill f = Hatch({Polygon(kSquare)});
    ASSERT_EQ(f.polys.size(), 1u) << c.corner;
    // Round corners: chords within the arc tolerance 1 over 2 pi 100 of arc.
    EXPECT_NEAR(std::fabs(Area(f.polys[0].points)), c.area, 2 * std::numbers::pi * 100 + 5)
        << c.corner;
    EXPECT_EQ(f.lines.size(), 12u);  // rows y = 50 + 100k within -100..1100
  }
}

TEST_F(LineHatch, LinksFollowTheBorderRoundAConcaveCorner) {
  // A square with a notch cut from the right. Row 300 ends at x = 1000; the
  // next piece (row 400, 0..500) starts at x = 500. The straight link would
  // cross the notch; along the border it is 20 + 500 + 80 = 600 long.
  const Ring notched{{0, 50},    {1000, 50},  {1000, 320}, {500, 320},
                     {500, 620}, {1000, 620}, {1000, 950}, {0, 950}};
  AddHatchPatternOptimized(0, BORDER_GAP_INWARD, 100, 0, 600, HATCH_SERPENTINE);
  Fill f = Hatch({Polygon(notched)});
  ASSERT_EQ(f.polys.size(), 1u);  // rows 100 .. 900 in one path
  EXPECT_EQ(SamplesOutside(f, {notched}, 0.2), 0);
  const auto& points = f.polys[0].points;
  const auto corner = std::find_if(points.begin(), points.end(), [](const Pt& p) {
    return std::fabs(p.first - 500) < 0.2 && std::fabs(p.second - 320) < 0.2;
  });
  EXPECT_NE(corner, points.end());  // the way goes round the notch's corner

    // With links of at most 2 gaps the path breaks there, and again where row
  // 600 (ending at x = 500) would round the notch's top to row 700 at x = 1000:
  // rows 100-300, rows 400-600, rows 700-900.
  ClearListOfHatchPatterns();
  AddHatchPatternOptimized(0, BORDER_GAP_INWARD, 100, 0, 0, HATCH_SERPENTINE);
  f = Hatch({Polygon(notched)});
  EXPECT_EQ(f.polys.size(), 3u);
  EXPECT_EQ(SamplesOutside(f, {notched}, 0.2), 0);
}
