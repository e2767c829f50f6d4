// The text path: sampling, lengths, queries and the exports that set it.
// Expected values come from the circle and line geometry worked by hand.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include "NurbPath.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

using namespace vuzodo;

namespace {

class Path : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeTTF(1000.0f);
    SetPathTextFlip(EN_FALSE);
  }
  const NurbPath* Current() { return TTFLoader::Instance().GetCurrentLine()->path.get(); }
};

}  // namespace

TEST_F(Path, CircleHasNinetyOneSamplesOnTheCircle) {
  ASSERT_EQ(SetNurbPathCircleCW(2.0f, 1.0f, -1.0f, 0.0f), 1);
  const NurbPath* path = Current();
  ASSERT_NE(path, nullptr);
  const auto& s = path->Samples();
  ASSERT_EQ(s.size(), 91u);
  for (const PathSample& p : s) {
    EXPECT_NEAR(std::hypot(p.x - 1000.0, p.y + 1000.0), 2000.0, 0.05);
  }
  // Starts and ends left of the centre; clockwise with y up means up first.
  EXPECT_NEAR(s.front().x, -1000.0, 1e-3);
  EXPECT_NEAR(s.front().y, -1000.0, 1e-3);
  EXPECT_NEAR(s.back().x, -1000.0, 1e-3);
  EXPECT_GT(s[1].y, -1000.0);
  // 90 chords fall a little short of the circumference 2 pi r.
  const double circumference = 2.0 * std::numbers::pi * 2000.0;
  EXPECT_LT(path->TotalLength(), circumference);
  EXPECT_GT(path->TotalLength(), circumference * 0.999);
  EXPECT_EQ(GetPathLengthOfCharacters(), 0.0f);  // a circle starts at 0
}

TEST_F(Path, CounterClockwiseCircleGoesDownFirstAndStartAngleTurnsTheStart) {
  ASSERT_EQ(SetNurbPathCircleCCW(1.0f, 0.0f, 0.0f, 0.0f), 1);
  EXPECT_LT(Current()->Samples()[1].y, 0.0);
  // Turning the start clockwise by a quarter moves it from west to north.
  ASSERT_EQ(SetNurbPathCircleCW(1.0f, 0.0f, 0.0f, static_cast<float>(std::numbers::pi / 2)), 1);
  EXPECT_NEAR(Current()->Samples()[0].x, 0.0, 1e-3);
  EXPECT_NEAR(Current()->Samples()[0].y, 1000.0, 1e-3);
  // Counter-clockwise by a quarter: from west to south.
  ASSERT_EQ(SetNurbPathCircleCCW(1.0f, 0.0f, 0.0f, static_cast<float>(std::numbers::pi / 2)), 1);
  EXPECT_NEAR(Current()->Samples()[0].y, -1000.0, 1e-3);
}

TEST_F(Path, PointsAreScaledInPlaceInTheCallersArrays) {
  float x[2] = {0.0f, 1.0f}, y[2] = {0.0f, 0.5f}, w[2] = {1.0f, 1.0f};
  float knots[4] = {0, 0, 1, 1};
  ASSERT_EQ(SetNurbPathPoints(1, 2, x, y, w, 4, knots, 0.25f), 1);
  EXPECT_EQ(x[1], 1000.0f);
  EXPECT_EQ(y[1], 500.0f);
  EXPECT_EQ(GetPathLengthOfCharacters(), 250.0f);
  ASSERT_EQ(SetNurbPathPoints(1, 2, x, y, w, 4, knots, 0.0f), 1);
  EXPECT_EQ(x[1], 1000000.0f);  // scaled a second time
}

TEST_F(Path, StraightNurbsQueriesByArcLength) {
  float x[2] = {0.0f, 1.0f}, y[2] = {0.0f, 0.0f}, w[2] = {1.0f, 1.0f};
  float knots[4] = {0, 0, 1, 1};
  ASSERT_EQ(SetNurbPathPoints(1, 2, x, y, w, 4, knots, 0.0f), 1);
  const NurbPath* path = Current();
  ASSERT_EQ(path->Samples().size(), 21u);  // 1 / (0.1 / 2) + 1
  EXPECT_NEAR(path->Samples()[3].x, 150.0, 1e-3);
  EXPECT_NEAR(path->TotalLength(), 1000.0, 1e-3);
  double px = -1, py = -1, theta = -1;
  ASSERT_TRUE(path->PointAtLength(0.0f, 0.0f, px, py, theta));
  EXPECT_EQ(px, 0.0);
  EXPECT_EQ(theta, 0.0);
  ASSERT_TRUE(path->PointAtLength(262.5f, 10.0f, px, py, theta));
  EXPECT_NEAR(px, 262.5, 1e-3);
  EXPECT_NEAR(py, 0.0, 1e-9);
  EXPECT_FALSE(path->PointAtLength(999.0f, 2.0f, px, py, theta));
  EXPECT_NEAR(px, 262.5, 1e-3);  // untouched on failure
  EXPECT_EQ(path->AngleAtLength(1001.0f), 0.0);
}

TEST_F(Path, SampleCountFollowsTheStepFactorLiterally) {
  // 0.1 / 11 does not invert back to 110 exactly: the count is 110, not 111.
  float x[11], y[11], w[11];
  for (int i = 0; i < 11; ++i) {
    x[i] = static_cast<float>(i);
    y[i] = 0.0f;
    w[i] = 1.0f;
  }
  float knots[13] = {0, 0, 0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f, 0.7f, 0.8f, 0.9f, 1, 1};
  ASSERT_EQ(SetNurbPathPoints(1, 11, x, y, w, 13, knots, 0.0f), 1);
  EXPECT_EQ(Current()->Samples().size(), 110u);
}

TEST_F(Path, PolylineDirectionsAndFlip) {
  float pts[6] = {0, 0, 1, 0, 1, 1};
  ASSERT_EQ(SetNurbPathPolyline(pts, 6, 0.0f), 1);
  EXPECT_EQ(pts[2], 1.0f);  // the caller's array is left alone
  const NurbPath* path = Current();
  EXPECT_EQ(path->TotalLength(), 2000.0);
  EXPECT_NEAR(path->AngleAtLength(1500.0f), std::numbers::pi / 2, 1e-12);
  EXPECT_EQ(path->AngleAtLength(500.0f), 0.0);
  // Flipping an existing path reverses it in place.
  SetPathTextFlip(EN_TRUE);
  EXPECT_EQ(Current()->Samples().front().y, 1000.0);
  EXPECT_NEAR(Current()->AngleAtLength(500.0f), -std::numbers::pi / 2, 1e-12);
  // Setting the same flag again changes nothing.
  SetPathTextFlip(EN_TRUE);
  EXPECT_EQ(Current()->Samples().front().y, 1000.0);
  // With the flag set, a new path starts at the last point passed.
  float line[4] = {2, 3, 4, 5};
  ASSERT_EQ(SetNurbPathPolyline(line, 4, 0.0f), 1);
  EXPECT_EQ(Current()->Samples().front().x, 4000.0);
}

TEST_F(Path, DegenerateInputLeavesThePathAlone) {
  float pts[4] = {0, 0, 1, 0};
  ASSERT_EQ(SetNurbPathPolyline(pts, 4, 0.0f), 1);
  const NurbPath* before = Current();
  EXPECT_EQ(SetNurbPathPolyline(pts, 2, 0.0f), 0);  // one point
  EXPECT_EQ(SetNurbPathPolyline(nullptr, 4, 0.0f), 0);
  float x[2] = {0, 1}, y[2] = {0, 0}, w[2] = {1, 1}, knots[4] = {0, 0, 1, 1};
  EXPECT_EQ(SetNurbPathPoints(1, 2, x, y, w, 5, knots, 0.0f), 0);  // knot count does not fit
  EXPECT_EQ(SetNurbPathPoints(3, 2, x, y, w, 6, knots, 0.0f), 0);  // too few points
  // A degree whose successor overflows an int, with the knot count that the overflowing sum
  // count + degree + 1 would wrap to (found by the interface fuzzer).
  const int huge = std::numeric_limits<int>::max();
  EXPECT_FALSE(NurbPath::ValidNurbs(huge, 2, std::numeric_limits<int>::min() + 2));
  EXPECT_EQ(SetNurbPathPoints(huge, 2, x, y, w, 4, knots, 0.0f), 0);
  EXPECT_EQ(x[1], 1.0f);                                           // refused before scaling
  EXPECT_EQ(Current(), before);
}

TEST_F(Path, ZeroLengthSegmentsDoNotDivideByZero) {
  float pts[6] = {0, 0, 0, 0, 1, 0};
  ASSERT_EQ(SetNurbPathPolyline(pts, 6, 0.0f), 1);
  double x = -1, y = -1, theta = -1;
  ASSERT_TRUE(Current()->PointAtLength(0.0f, 0.0f, x, y, theta));
  EXPECT_FALSE(std::isnan(x));
  EXPECT_EQ(x, 0.0);
}

TEST_F(Path, CurvesThatCannotBeSampledAreRefusedAndTheCallersArraysKept) {
  float pts[4] = {0, 0, 1, 0};
  ASSERT_EQ(SetNurbPathPolyline(pts, 4, 0.0f), 1);
  const NurbPath* before = Current();
  struct Curve {
    const char* what;
    int degree;
    std::vector<float> x, y, w, knots;
  };
  const float nan = std::nanf("");
  const Curve curves[] = {
      // A zero weight at a clamped end leaves nothing to divide by there.
      {"zero weight", 1, {0, 1}, {0, 0}, {1, 0}, {0, 0, 1, 1}},
      // Weights of both signs: the weight sum 1 - 3u vanishes at u = 1/3, which no sample
      // hits; the samples on either side would jump across the pole.
      {"weights of both signs", 1, {0, -2}, {0, 0}, {1, -2}, {0, 0, 1, 1}},
      {"coordinate not a number", 1, {0, nan}, {0, 0}, {1, 1}, {0, 0, 1, 1}},
      {"decreasing knots", 1, {0, 1, 2}, {0, 0, 0}, {1, 1, 1}, {0, 0, 1, 0.5f, 1}},
      {"empty domain", 1, {0, 1}, {0, 0}, {1, 1}, {0, 0, 0, 0}},
      // Knots 0, 0, 0: the first span is empty and u = 0 falls into it.
      {"empty first span", 1, {0, 1, 2}, {0, 0, 0}, {1, 1, 1}, {0, 0, 0, 1, 1}},
  };
  for (const Curve& c : curves) {
    SCOPED_TRACE(c.what);
    Curve copy = c;
    const int n = static_cast<int>(copy.x.size());
    EXPECT_EQ(SetNurbPathPoints(copy.degree, n, copy.x.data(), copy.y.data(), copy.w.data(),
                                static_cast<int>(copy.knots.size()), copy.knots.data(), 0.0f),
              0);
    EXPECT_EQ(copy.x[0], c.x[0]);  // not scaled
    EXPECT_EQ(copy.y[1], c.y[1]);
    EXPECT_EQ(Current(), before);
  }
  // A count that would sample beyond a million points is refused before any
  // array is read.
  const int many = NurbPath::kMaxControlPoints + 1;
  std::vector<float> x(many, 1.0f), w(many, 1.0f), knots(many + 2, 0.0f);
  std::fill(knots.begin() + many, knots.end(), 1.0f);
  EXPECT_EQ(SetNurbPathPoints(1, many, x.data(), x.data(), w.data(), many + 2, knots.data(), 0), 0);
  EXPECT_EQ(x[0], 1.0f);
  // A polyline coordinate that is not finite.
  float far[4] = {0, 0, std::numeric_limits<float>::infinity(), 0};
  EXPECT_EQ(SetNurbPathPolyline(far, 4, 0.0f), 0);
  EXPECT_EQ(Current(), before);
}
