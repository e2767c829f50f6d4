// Quadratic pieces: degree elevation, rational evaluation, piece flattening and the conversion of
// poly-draw contours into polylines.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "QELUtility.h"

namespace {

void ExpectPoint(const NURBSPoint& p, double x, double y, double w, double tolerance = 1e-12) {
  EXPECT_NEAR(p.GetX(), x, tolerance);
  EXPECT_NEAR(p.GetY(), y, tolerance);
  EXPECT_NEAR(p.GetWeight(), w, tolerance);
}

TEST(DegreeElevation, UnitWeightsGiveTheTwoThirdsRule) {
  CQELD3Bezier cubic;
  ElevateQuadratic(NURBSPoint(0, 0), NURBSPoint(3, 6), NURBSPoint(6, 0), cubic);
  const auto& c = cubic.GetControlPoints();
  ExpectPoint(c[0], 0, 0, 1);
  ExpectPoint(c[1], 2, 4, 1);  // P0 + 2/3 (P1 - P0)
  ExpectPoint(c[2], 4, 4, 1);  // P2 + 2/3 (P1 - P2)
  ExpectPoint(c[3], 6, 0, 1);
}

TEST(DegreeElevation, WeightsElevateInHomogeneousForm) {
  CQELD3Bezier cubic;
  ElevateQuadratic(NURBSPoint(0, 0, 1), NURBSPoint(1, 1, 2), NURBSPoint(2, 0, 1), cubic);
  const auto& c = cubic.GetControlPoints();
  // w1 = 1 + 2/3, x1 = (4/3) / (5/3); w2 = 2 - 1/3, x2 = 2 / (5/3), y2 = (4/3) / (5/3).
  ExpectPoint(c[1], 0.8, 0.8, 5.0 / 3);
  ExpectPoint(c[2], 1.2, 0.8, 5.0 / 3);
}

TEST(RationalEvaluation, DegreesOneToThreeAndOthers) {
  const NURBSPoint ctrl[4] = {NURBSPoint(0, 0, 1), NURBSPoint(1, 1, 2), NURBSPoint(2, 0, 1),
                              NURBSPoint(9, 9, 1)};
  ExpectPoint(EvaluateRationalBezier(ctrl, 0.25, 1), 0.25 * 2 / 1.25, 0.25 * 2 / 1.25, 1.25);
  // Bernstein .25, .5, .25 with weights 1, 2, 1: w = 1.5, x = 1.5 / 1.5, y = 1 / 1.5.
  ExpectPoint(EvaluateRationalBezier(ctrl, 0.5, 2), 1, 2.0 / 3, 1.5);
  ExpectPoint(EvaluateRationalBezier(ctrl, 1.0, 3), 9, 9, 1);
  EXPECT_EQ(EvaluateRationalBezier(ctrl, 0.5, 0), NURBSPoint());
  EXPECT_EQ(EvaluateRationalBezier(ctrl, 0.5, 4), NURBSPoint());
  EXPECT_EQ(EvaluateRationalBezier(std::span<const NURBSPoint>(ctrl, 2), 0.5, 3), NURBSPoint());
}

// Raising the degree must not change the curve: the rational cubic and the rational quadratic
// agree in position and in combined weight everywhere.
TEST(RationalEvaluation, ElevatedCubicTracesTheQuadratic) {
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<double> coord(-100, 100);
  std::uniform_real_distribution<double> weight(0.25, 4);
  for (int trial = 0; trial < 200; ++trial) {
    const NURBSPoint q[3] = {NURBSPoint(coord(rng), coord(rng), weight(rng)),
                             NURBSPoint(coord(rng), coord(rng), weight(rng)),
                             NURBSPoint(coord(rng), coord(rng), weight(rng))};
    CQELD3Bezier cubic;
    ElevateQuadratic(q[0], q[1], q[2], cubic);
    for (double t = 0; t <= 1.0; t += 0.125) {
      const NURBSPoint a = EvaluateRationalBezier(q, t, 2);
      const NURBSPoint b = EvaluateRationalBezier(cubic.GetControlPoints(), t, 3);
      ExpectPoint(b, a.GetX(), a.GetY(), a.GetWeight(), 1e-9);
    }
  }
}

TEST(PieceFlattening, FourSegmentsPerPiece) {
  CQELD3Bezier cubic;
  ElevateQuadratic(NURBSPoint(0, 0), NURBSPoint(1, 1), NURBSPoint(2, 0), cubic);
  CQELPolyLine polyline;
  FlattenCubicPiece(cubic, &polyline);
  const auto& p = polyline.GetPoints();
  ASSERT_EQ(p.size(), 4u);
  ExpectPoint(p[0], 0.5, 0.375, 1);
  ExpectPoint(p[1], 1, 0.5, 1);
  ExpectPoint(p[2], 1.5, 0.375, 1);
  ExpectPoint(p[3], 2, 0, 1);
}

TEST(PieceFlattening, DegenerateAndWeightedPieces) {
  CQELD3Bezier same;
  ElevateQuadratic(NURBSPoint(3, 4, 2), NURBSPoint(3, 4, 2), NURBSPoint(3, 4, 2), same);
  CQELPolyLine twice;
  FlattenCubicPiece(same, &twice);
  ASSERT_EQ(twice.GetPoints().size(), 2u);
  ExpectPoint(twice.GetPoints()[0], 3, 4, 1);
  ExpectPoint(twice.GetPoints()[1], 3, 4, 1);

  CQELD3Bezier heavy;
  ElevateQuadratic(NURBSPoint(0, 0), NURBSPoint(1, 1, 2), NURBSPoint(2, 0), heavy);
  CQELPolyLine pulled;
  FlattenCubicPiece(heavy, &pulled);
  ASSERT_EQ(pulled.GetPoints().size(), 4u);
  // Midpoint of the weighted quadratic: (1, 2/3) with weight 1.5, above the unweighted 0.5.
  ExpectPoint(pulled.GetPoints()[1], 1, 2.0 / 3, 1.5);
  EXPECT_GT(pulled.GetPoints()[0].GetWeight(), 1.0);
  EXPECT_GT(pulled.GetPoints()[0].GetY(), 0.375);
  FlattenCubicPiece(heavy, nullptr);
}

TEST(PolyDrawConversion, LinesAndOneQuadraticPerContour) {
  CQELPolyDraw draw;
  draw.AddPoint(PolyDrawPoint(0, 0, 1, 0));
  draw.AddPoint(PolyDrawPoint(10, 0, 1, 1));
  draw.AddPoint(PolyDrawPoint(10, 10, 1, 2));
  draw.AddPoint(PolyDrawPoint(0, 10, 1, 3));
  draw.AddPoint(PolyDrawPoint(20, 0, 1, 0));
  draw.AddPoint(PolyDrawPoint(30, 0, 1, 1));
  draw.AddPoint(PolyDrawPoint(30, 10, 1, 1));
  std::vector<CQELPolyLine*> raw = PolyDrawToPolyLines(&draw);
  std::vector<std::unique_ptr<CQELPolyLine>> result(raw.begin(), raw.end());
  ASSERT_EQ(result.size(), 2u);

  const auto& a = result[0]->GetPoints();
  EXPECT_EQ(result[0]->GetClosed(), 1);
  ASSERT_EQ(a.size(), 6u);
  ExpectPoint(a[0], 0, 0, 1);
  ExpectPoint(a[1], 10, 0, 1);
  // Quadratic (10,0) (10,10) (0,10) at t = 1/4, 1/2, 3/4, 1.
  ExpectPoint(a[2], 9.375, 4.375, 1);
  ExpectPoint(a[3], 7.5, 7.5, 1);
  ExpectPoint(a[4], 4.375, 9.375, 1);
  ExpectPoint(a[5], 0, 10, 1);

  const auto& b = result[1]->GetPoints();
  ASSERT_EQ(b.size(), 3u);
  ExpectPoint(b[2], 30, 10, 1);
  EXPECT_EQ(draw.GetPoints().size(), 7u);  // the source is untouched
}

TEST(PolyDrawConversion, ConsecutiveControlPointsImplyMidpoints) {
  CQELPolyDraw draw;
  draw.AddPoint(PolyDrawPoint(0, 0, 1, 0));
  draw.AddPoint(PolyDrawPoint(0, 10, 1, 2));
  draw.AddPoint(PolyDrawPoint(10, 10, 1, 2));
  draw.AddPoint(PolyDrawPoint(10, 0, 1, 3));
  std::vector<CQELPolyLine*> raw = PolyDrawToPolyLines(&draw);
  std::vector<std::unique_ptr<CQELPolyLine>> result(raw.begin(), raw.end());
  ASSERT_EQ(result.size(), 1u);
  const auto& p = result[0]->GetPoints();
  ASSERT_EQ(p.size(), 9u);
  // First piece (0,0) (0,10) (5,10): at t = 1/2, (0.25 * 5, 0.5 * 10 + 0.25 * 10).
  ExpectPoint(p[2], 1.25, 7.5, 1);
  ExpectPoint(p[4], 5, 10, 1);  // the implied on-curve point
  // Second piece (5,10) (10,10) (10,0) at t = 1/2.
  ExpectPoint(p[6], 8.75, 7.5, 1);
  ExpectPoint(p[8], 10, 0, 1);
}

TEST(PolyDrawConversion, MalformedSequencesStayInBounds) {
  CQELPolyDraw draw;
  draw.AddPoint(PolyDrawPoint(5, 5, 1, 1));  // before any contour start: passed over
  draw.AddPoint(PolyDrawPoint(0, 0, 1, 0));
  draw.AddPoint(PolyDrawPoint(1, 0, 1, 7));  // unknown kind: passed over
  draw.AddPoint(PolyDrawPoint(1, 1, 1, 2));
  draw.AddPoint(PolyDrawPoint(2, 1, 1, 2));  // run cut off by the end of the sequence
  std::vector<CQELPolyLine*> raw = PolyDrawToPolyLines(&draw);
  std::vector<std::unique_ptr<CQELPolyLine>> result(raw.begin(), raw.end());
  ASSERT_EQ(result.size(), 1u);
  // The start, then one piece (0,0) (1,1) (1.5,1) to the implied midpoint.
  ASSERT_EQ(result[0]->GetPoints().size(), 5u);
  ExpectPoint(result[0]->GetPoints().back(), 1.5, 1, 1);
  EXPECT_TRUE(PolyDrawToPolyLines(nullptr).empty());
}

}  // namespace
