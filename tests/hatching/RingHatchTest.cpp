// Offset rings, in/out rings and spirals on hand-made regions. Ring sizes are
// worked by hand: a square shrunk by d with miter corners is a square.
#include <gtest/gtest.h>

#include <cmath>

#include "HatchTestSupport.h"
#include "qelhatching/qelhatching.h"

using namespace hatchtest;

namespace {

class RingHatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ClearListOfHatchPatterns();
    qelhatching::SetUnitSize(1000.0);
  }
  void TearDown() override { ClearListOfHatchPatterns(); }
};

const Ring kSquare = Rect(0, 0, 1000, 1000);

double Side(const Poly& p) {
  return std::sqrt(std::fabs(Area(p.points)));
}

// Length of the polyline's edges.
double Length(const Poly& p) {
  double l = 0;
  for (std::size_t i = 0; i + 1 < p.points.size(); ++i) {
    l += std::hypot(p.points[i + 1].first - p.points[i].first,
                    p.points[i + 1].second - p.points[i].second);
  }
  return l;
}

}  // namespace

// True when the open polyline passes within `tol` of (x, y).
bool PassesBy(const Poly& p, double x, double y, double tol) {
  for (std::size_t i = 0; i + 1 < p.points.size(); ++i) {
    const auto [ax, ay] = p.points[i];
    const auto [bx, by] = p.points[i + 1];
    const double ex = bx - ax, ey = by - ay, len2 = ex * ex + ey * ey;
    const double t =
        len2 > 0 ? std::fmax(0, std::fmin(1, ((x - ax) * ex + (y - ay) * ey) / len2)) : 0;
    if (std::hypot(ax + t * ex - x, ay + t * ey - y) <= tol) return true;
  }
  return false;
}

TEST_F(RingHatch, OffsetFillingRingsOutsideInAndInsideOut) {
  // Rings at 100, 200, 300, 400 inside; at 500 the square collapses into
  // its centre, which an open centre line marks (after the rings outside-in,
  // first inside-out).
  AddHatchPatternOffsetFilling(100, EN_OFFSET_OUTSIDE_IN);
  Fill f = Hatch({Polygon(kSquare)});
  EXPECT_TRUE(f.lines.empty());
  ASSERT_EQ(f.polys.size(), 5u);
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_TRUE(f.polys[i].closed);
    EXPECT_EQ(f.polys[i].points.size(), 4u);
    EXPECT_NEAR(Side(f.polys[i]), 800.0 - 200.0 * i, 0.5) << i;
  }
  EXPECT_FALSE(f.polys[4].closed);
  EXPECT_TRUE(PassesBy(f.polys[4], 500, 500, 1));
  ClearListOfHatchPatterns();
  AddHatchPatternOffsetFillingEx(100, EN_OFFSET_INSIDE_OUT, EN_OFFSET_CLEANUP, EN_CORNER_MITER, 0,
                                 0);
  f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.polys.size(), 5u);
  EXPECT_TRUE(PassesBy(f.polys[0], 500, 500, 1));
  for (std::size_t i = 0; i < 4; ++i) EXPECT_NEAR(Side(f.polys[i + 1]), 200.0 + 200.0 * i, 0.5);
}

TEST_F(RingHatch, RoundCornersFollowTheArcTolerance) {
  // Round corners on the outward rings: each ring's area is the square grown
  // by d with quarter circles, (1000 + 2d)^2 - (4 - pi) d^2, within the chords.
  AddHatchPatternOffsetInOutEx(100, 0, 100, 2, EN_OFFSET_DIRECT, EN_CORNER_ROUND, 0, 1);
  const Fill f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.polys.size(), 2u);
  for (std::size_t i = 0; i < 2; ++i) {
    const double d = 100.0 * (i + 1);
    const double expected = std::pow(1000 + 2 * d, 2) - (4 - M_PI) * d * d;
    // Clipper puts the vertices on the arc: the chords cut off at most the
    // tolerance (1 = 1/1000 of U) along the arc length 2 pi d.
    EXPECT_LE(std::fabs(Area(f.polys[i].points)), expected + 1) << i;
    EXPECT_GE(std::fabs(Area(f.polys[i].points)), expected - 2 * M_PI * d * 1.0) << i;
    EXPECT_GT(f.polys[i].points.size(), 20u);  // the corners are rounded, not mitred
  }
}

TEST_F(RingHatch, InOutCountsRingsOnBothSides) {
  AddHatchPatternOffsetInOut(100, 2, 50, 3);
  const Fill f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.polys.size(), 5u);
  const double sides[] = {800, 600, 1100, 1200, 1300};  // inside first, then outside
  for (std::size_t i = 0; i < 5; ++i) EXPECT_NEAR(Side(f.polys[i]), sides[i], 0.5) << i;

  // Negative counts give no rings on that side only.
  ClearListOfHatchPatterns();
  AddHatchPatternOffsetInOut(100, -3, 50, 1);
  EXPECT_EQ(Hatch({Polygon(kSquare)}).polys.size(), 1u);
}

TEST_F(RingHatch, HelixIsOneContinuousPathThroughTheNestedRings) {
  AddHatchPatternHelixFillingEx(100, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT, EN_CORNER_MITER, false,
                                0, 0);
  Fill f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.polys.size(), 2u);  // the spiral, then the centre line where it collapses
  EXPECT_TRUE(PassesBy(f.polys[1], 500, 500, 1));
  const Poly& spiral = f.polys[0];
  EXPECT_FALSE(spiral.closed);
  // Four rings of perimeter 3200, 2400, 1600, 800 and three corner-to-corner
  // links of 100 * sqrt(2).
  EXPECT_NEAR(Length(spiral), 8000 + 3 * 100 * std::sqrt(2.0), 1.0);
  EXPECT_EQ(SamplesOutside(f, {Rect(100, 100, 900, 900)}, 0.2), 0);
  // Outside-in: it starts on the outer ring and ends on the inner one.
  const auto& first = spiral.points.front();
  EXPECT_NEAR(std::fmax(std::fabs(first.first - 500), std::fabs(first.second - 500)), 400, 0.5);
  const auto& last = spiral.points.back();
  EXPECT_LE(std::fmax(std::fabs(last.first - 500), std::fabs(last.second - 500)), 100.5);

  ClearListOfHatchPatterns();
  AddHatchPatternHelixFillingEx(100, EN_HELIX_INSIDE_OUT, EN_OFFSET_DIRECT, EN_CORNER_MITER, false,
                                0, 0);
  f = Hatch({Polygon(kSquare)});
  ASSERT_EQ(f.polys.size(), 2u);  // inside-out the centre line comes first
  const auto& start = f.polys[1].points.front();
  EXPECT_LE(std::fmax(std::fabs(start.first - 500), std::fabs(start.second - 500)), 100.5);
}

TEST_F(RingHatch, HelixOfARingRegionConnectsOnlyWhenAsked) {
  // Outer 0..1200 with the hole 300..900: at 100 an outer and a hole ring, at
  // 200 the material is used up. Two spirals, or one path when connected.
  const std::vector<Ring> o = {Rect(0, 0, 1200, 1200), Rect(300, 300, 900, 900, false)};
  AddHatchPatternHelixFillingEx(100, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT, EN_CORNER_MITER, false,
                                0, 0);
  Fill f = Hatch({Polygon(o[0]), Polygon(o[1])});
  EXPECT_EQ(f.polys.size(), 2u);
  EXPECT_EQ(SamplesOutside(f, o, 0.2), 0);

  ClearListOfHatchPatterns();
  AddHatchPatternHelixFillingEx(100, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT, EN_CORNER_MITER, true,
                                0, 0);
  f = Hatch({Polygon(o[0]), Polygon(o[1])});
  ASSERT_EQ(f.polys.size(), 1u);
  EXPECT_EQ(SamplesOutside(f, o, 0.2), 0);
}
