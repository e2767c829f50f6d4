// What encloses area and what does not, the chord error of arcs, and the
// refusals: bad gaps and limits produce nothing and damage nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>

#include "HatchTestSupport.h"
#include "qelhatching/qelhatching.h"

using namespace hatchtest;

namespace {

class Region : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearListOfHatchPatterns();
    qelhatching::SetUnitSize(1000.0);
  }
  void TearDown() override {
    ClearListOfHatchPatterns();
    qelhatching::SetUnitSize(1000.0);
  }
  // Rows y = base_y + k * gap.
  static void Rows(float gap, float base_y = 0) {
    AddHatchPatternLine(0, BORDER_GAP_INWARD, gap, 0, 0, base_y, HATCH_UNIDIRECTIONAL, EN_FALSE);
  }
};

CQELLine* L(double x0, double y0, double x1, double y1) {
  return new CQELLine(NURBSPoint(x0, y0), NURBSPoint(x1, y1));
}

std::vector<CQELEntity*> SquareOfLines(double gap_at_corner) {
  return {L(0, 0, 1000, 0), L(1000, 0, 1000, 1000), L(1000, 1000, 0, 1000),
          L(0, 1000, 0, gap_at_corner)};
}

}  // namespace

TEST_F(Region, ArcsAreFlattenedWithinTheChordError) {
  // An "O": circle of radius 500 and an opposite circle of radius 300, each
  // drawn as two half arcs. Gap 5: chord error at most 5/50 = 0.1 (a flattening
  // in 5 degree steps would be 0.48 off on the outer circle).
  const double gap = 5, base = 2.5;
  AddHatchPatternLine(0, BORDER_GAP_INWARD, gap, 0, 0, base, HATCH_UNIDIRECTIONAL, EN_FALSE);
  const NURBSPoint c(0, 0);
  const double pi = std::numbers::pi;
  const Fill f =
      Hatch({new CQELEllipticalArc(c, 500, 0, pi), new CQELEllipticalArc(c, 500, pi, pi),
             new CQELEllipticalArc(c, 300, 0, -pi), new CQELEllipticalArc(c, 300, -pi, -pi)});
  ASSERT_FALSE(f.lines.empty());
  std::size_t crossing_hole = 0;
  for (const Seg& s : f.lines) {
    for (double r : {std::hypot(s.x0, s.y0), std::hypot(s.x1, s.y1)}) {
      // The chords lie inside each circle, by at most the chord error 0.1, plus
      // the rounding of the vertices and of the cut points to Clipper's 0.1
      // grid (0.071 each): the outer edge at 500 - 0.25 .. 500, the hole's at
      // 300 - 0.25 .. 300.
      const double deviation = (r > 400 ? 500 : 300) - r;
      EXPECT_LE(deviation, 0.25) << r;
      EXPECT_GE(deviation, -0.1) << r;
    }
    if (std::fabs(s.y0) < 300) ++crossing_hole;
  }
  // Rows y = 2.5 + 5k: |y| < 300 rows are split by the hole (2 pieces), others whole.
  std::size_t expected = 0, split = 0;
  for (int k = -100; k <= 99; ++k) {
    const bool through_hole = std::fabs(base + gap * k) < 300;
    expected += through_hole ? 2 : 1;
    split += through_hole ? 2 : 0;
  }
  EXPECT_EQ(crossing_hole, split);
  EXPECT_EQ(f.lines.size(), expected);
}

TEST_F(Region, ChainsCloseWhenTheirEndsNearlyMeetAndStrokesStayEmpty) {
  Rows(100, 50);  // rows 50 .. 950
  // Ends 0.5 apart (within the chord tolerance 1 = U/1000): closed, filled.
  EXPECT_EQ(Hatch(SquareOfLines(0.5)).lines.size(), 10u);
  // Ends 50 apart: an open stroke, no fill.
  EXPECT_TRUE(Hatch(SquareOfLines(50)).lines.empty());
  // Pieces out of order and reversed still chain.
  EXPECT_EQ(
      Hatch({L(0, 1000, 0, 0), L(1000, 1000, 1000, 0), L(0, 0, 1000, 0), L(0, 1000, 1000, 1000)})
          .lines.size(),
      10u);
  // A dot alone, and an open polyline, enclose nothing.
  auto* open = Polygon(Rect(0, 0, 1000, 1000));
  open->SetClosed(0);
  const Fill f = Hatch({new CQELDot(NURBSPoint(10, 10)), open});
  EXPECT_TRUE(f.lines.empty());
  EXPECT_TRUE(f.polys.empty());
}

TEST_F(Region, AnIWithItsDotFillsTheStemAndTheRoundDot) {
  // Stem 0..200 x 50..1050 and a full-circle dot of radius 100 at (100, 1350),
  // plus a marked point that encloses nothing.
  Rows(100);
  const Fill f = Hatch({Polygon(Rect(0, 50, 200, 1050)),
                        new CQELEllipticalArc(NURBSPoint(100, 1350), 100, 0, 2 * std::numbers::pi),
                        new CQELDot(NURBSPoint(100, 1600))});
  // Stem rows y = 100..1000 (10); the dot's rows 1300 and 1400 are chords 50
  // from its centre, 2 * sqrt(100^2 - 50^2) = 173.2 long (less the chord error 1).
  ASSERT_EQ(f.lines.size(), 12u);
  int dot_rows = 0;
  for (const Seg& s : f.lines) {
    if (s.y0 < 1200) continue;
    ++dot_rows;
    EXPECT_NEAR(std::fabs(s.x1 - s.x0), 173.2, 1.5);
  }
  EXPECT_EQ(dot_rows, 2);
}

TEST_F(Region, ThinSliverGetsItsOneLineOrNothingOnceTheGapEatsIt) {
  AddHatchPatternLine(0, BORDER_GAP_INWARD, 100, 0, 0, 10, HATCH_UNIDIRECTIONAL, EN_FALSE);
  EXPECT_EQ(Hatch({Polygon(Rect(0, 0, 1000, 30))}).lines.size(), 1u);
  ClearListOfHatchPatterns();
  AddHatchPatternLine(20, BORDER_GAP_INWARD, 100, 0, 0, 10, HATCH_SERPENTINE_CONNECTED, EN_TRUE);
  AddHatchPatternOffsetFilling(5, EN_OFFSET_OUTSIDE_IN);
  AddHatchPatternHelixFillingEx(5, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT, EN_CORNER_ROUND, true, 0,
                                0);
  const Fill f = Hatch({Polygon(Rect(0, 0, 1000, 30))});
  EXPECT_TRUE(f.lines.empty());
  // Rings at 5, 10 (offset filling) and one spiral through them; the walls
  // are 2 * 3 gaps apart, so the level at 15 collapses into the centre line
  // y = 15, once for each pattern (its ends may turn into the corners of
  // what the rings leave unmarked, 12.5 to 17.5).
  ASSERT_EQ(f.polys.size(), 5u);
  int centre_lines = 0;
  for (const Poly& p : f.polys) {
    bool centre = !p.closed && std::fabs(p.points.front().first - p.points.back().first) > 900;
    for (const Pt& q : p.points) centre = centre && std::fabs(q.second - 15) <= 2.5;
    centre = centre && std::fabs(p.points[p.points.size() / 2].second - 15) <= 0.5;
    centre_lines += centre;
  }
  EXPECT_EQ(centre_lines, 2);
  EXPECT_EQ(SamplesOutside(f, {Rect(0, 0, 1000, 30)}, 0.2), 0);
}

TEST_F(Region, BadGapsAndRunawayCountsProduceNothingAndLeaveTheRestWorking) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  for (float gap : {0.0f, -100.0f, nan, inf, 1e-4f /* below the resolution */}) {
    Rows(gap);
    AddHatchPatternOffsetFilling(gap, EN_OFFSET_OUTSIDE_IN);
    AddHatchPatternOffsetInOut(gap, 3, gap, 3);
    AddHatchPatternHelixFillingEx(gap, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT, EN_CORNER_MITER, true,
                                  0, 0);
    AddHatchPatternLattice(gap, 100, 0, 0, 0, false);
    AddHatchPatternOptimized(0, BORDER_GAP_INWARD, gap, 0, 0, HATCH_SERPENTINE);
    AddHatchPatternLine(gap, BORDER_GAP_INWARD, 100, 0, 0, 50, HATCH_SERPENTINE, EN_FALSE);
    const Fill f = Hatch({Polygon(Rect(0, 0, 1000, 1000))});
    // Only the last pattern can work, and only with a usable border gap.
    const bool border_ok = gap == 0.0f || gap == 1e-4f;
    EXPECT_EQ(f.lines.size(), border_ok ? 10u : 0u) << gap;
    EXPECT_TRUE(f.polys.empty()) << gap;
    ClearListOfHatchPatterns();
  }
  // Far too many lines, rings, passes or outside rings for the glyph: nothing,
  // quickly, and the next pattern in the list still fills.
  Rows(0.3f);  // 3.3 million rows over a 1e6 high character
  AddHatchPatternOffsetFilling(0.3f, EN_OFFSET_OUTSIDE_IN);
  AddHatchPatternIncremental(0, BORDER_GAP_INWARD, 100000, 0, 0.1f, 100000, HATCH_UNIDIRECTIONAL);
  AddHatchPatternOffsetInOut(0, 0, 1e5f, 2000000000);
  AddHatchPatternLine(0, BORDER_GAP_INWARD, 1e5f, 0, 0, 1e30f, HATCH_SERPENTINE, EN_FALSE);
  AddHatchPatternLattice(1e5f, 1e5f, 0, -1e30f, 0, true);
  AddHatchPatternLine(0, BORDER_GAP_INWARD, 1e5f, 0, 0, 5e4f, HATCH_UNIDIRECTIONAL, EN_FALSE);
  const Fill f = Hatch({Polygon(Rect(0, 0, 1e6, 1e6))});
  EXPECT_EQ(f.lines.size(), 10u);  // rows 5e4 + 1e5 k, k = 0..9, of the last pattern
  EXPECT_TRUE(f.polys.empty());
}

// Found by the interface fuzzer: bevelled outside rings double a square's
// vertices at every level, and each level's union grows with the square of
// them; 102 rings ran for minutes. The pattern is refused once a ring passes
// 10,000 vertices, and the next pattern still fills.
TEST_F(Region, RingsWhoseVerticesDoubleEveryLevelAreRefusedQuickly) {
  AddHatchPatternOffsetInOutEx(0, 0, 1e4f, 102, EN_OFFSET_DIRECT, EN_CORNER_BEVEL, 60, 0);
  AddHatchPatternLine(0, BORDER_GAP_INWARD, 1e5f, 0, 0, 5e4f, HATCH_UNIDIRECTIONAL, EN_FALSE);
  const Fill f = Hatch({Polygon(Rect(0, 0, 1e6, 1e6))});
  EXPECT_EQ(f.lines.size(), 10u);
  EXPECT_TRUE(f.polys.empty());
  // Eight bevelled rings stay within the bound and are drawn.
  ClearListOfHatchPatterns();
  AddHatchPatternOffsetInOutEx(0, 0, 1e4f, 8, EN_OFFSET_DIRECT, EN_CORNER_BEVEL, 60, 0);
  EXPECT_EQ(Hatch({Polygon(Rect(0, 0, 1e6, 1e6))}).polys.size(), 8u);
}

TEST_F(Region, BrokenOrFarAwayOutlinesAreSafe) {
  Rows(100);  // rows y = 100 k
  // A coordinate that is not a number: no fill at all.
  EXPECT_TRUE(Hatch({Polygon({{0, 0}, {1000, 0}, {std::nan(""), 1000}})}).lines.empty());
  // Far from the origin the grid and the fill are the same as near it.
  const Fill f = Hatch({Polygon(Rect(1e12, 1e12 + 50, 1e12 + 1000, 1e12 + 1050))});
  EXPECT_EQ(f.lines.size(), 10u);  // rows y = 1e12 + 100k, k = 1..10
  // A unit size that cannot serve falls back to the default resolution.
  qelhatching::SetUnitSize(-5);
  EXPECT_EQ(Hatch({Polygon(Rect(0, 50, 1000, 1050))}).lines.size(), 10u);
  // Nothing at all, null entries are tolerated by the exchange.
  EXPECT_TRUE(Hatch({}).lines.empty());
}

TEST_F(Region, EveryPatternStaysInsideSelfIntersectingStars) {
  // Seeded random stars whose edges cross each other: the region is whatever
  // the nonzero rule makes of them, and the inside test here is an
  // independent winding number over the same points.
  std::mt19937 random(20261206);
  std::uniform_real_distribution<double> radius(100, 1000), turn(0, 2 * std::numbers::pi);
  for (int star = 0; star < 12; ++star) {
    Ring ring;
    const int n = 5 + star % 7;
    const double step = 2 * std::numbers::pi * (star % 3 + 2) / n;  // 2, 3 or 4 turns
    const double start = turn(random);
    for (int i = 0; i < n; ++i) {
      const double r = radius(random), a = start + step * i;
      ring.emplace_back(r * std::cos(a), r * std::sin(a));
    }
    ClearListOfHatchPatterns();
    const float angle = static_cast<float>(turn(random));
    AddHatchPatternLine(0, BORDER_GAP_INWARD, 37, angle, 3, 5, static_cast<hatchStyle>(star % 6),
                        EN_TRUE);
    AddHatchPatternOptimized(10, BORDER_GAP_INWARD, 41, angle, 300, HATCH_DOUBLE);
    AddHatchPatternOffsetFilling(53, EN_OFFSET_INSIDE_OUT);
    AddHatchPatternHelixFillingEx(47, EN_HELIX_OUTSIDE_IN, EN_OFFSET_CLEANUP, EN_CORNER_ROUND, true,
                                  0, 0);
    AddHatchPatternLattice(61, 67, angle, 0, 0, true);
    const Fill f = Hatch({Polygon(ring)});
    EXPECT_FALSE(f.lines.empty()) << star;
    EXPECT_FALSE(f.polys.empty()) << star;
    EXPECT_EQ(SamplesOutside(f, {ring}, 0.5), 0) << star;
  }
}
