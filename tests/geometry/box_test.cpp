// Bounding boxes of entities, boxes of stream arc pieces, and circle recognition.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <numbers>

#include "QELUtility.h"

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kBig = std::numeric_limits<double>::max();

struct Box {
  NURBSPoint min{kBig, kBig};
  NURBSPoint max{-kBig, -kBig};
};

Box BoxOf(const CQELEntity* entity) {
  Box box;
  GrowBoundingBox(box.min, box.max, entity);
  return box;
}

void ExpectBox(const Box& box, double x0, double y0, double x1, double y1, double tol = 1e-12) {
  EXPECT_NEAR(box.min.GetX(), x0, tol);
  EXPECT_NEAR(box.min.GetY(), y0, tol);
  EXPECT_NEAR(box.max.GetX(), x1, tol);
  EXPECT_NEAR(box.max.GetY(), y1, tol);
}

TEST(BoundingBox, PointEntitiesAndIgnoredCodes) {
  CQELLine line(NURBSPoint(3, -1), NURBSPoint(-2, 4));
  ExpectBox(BoxOf(&line), -2, -1, 3, 4);
  CQELPolyLine polyline;
  polyline.AddPoint(1, 1);
  polyline.AddPoint(5, -3);
  polyline.AddPoint(2, 7);
  ExpectBox(BoxOf(&polyline), 1, -3, 5, 7);

  // Growing accumulates over entities.
  Box box = BoxOf(&line);
  CQELDot dot(NURBSPoint(10, 0));
  GrowBoundingBox(box.min, box.max, &dot);
  ExpectBox(box, -2, -1, 10, 4);
  GrowBoundingBox(box.min, box.max, nullptr);
  CQELPolyDraw draw;
  draw.AddPoint(PolyDrawPoint(100, 100, 1, 0));
  GrowBoundingBox(box.min, box.max, &draw);
  CQELD3Bezier bezier;
  GrowBoundingBox(box.min, box.max, &bezier);
  ExpectBox(box, -2, -1, 10, 4);
}

TEST(BoundingBox, ArcsReachTheirExtremesInXAndY) {
  // From -45 to +45 degrees on the unit circle: the rightmost point (1, 0) is inside the range.
  CQELEllipticalArc right(NURBSPoint(0, 0), 1.0, -kPi / 4, kPi / 2);
  ExpectBox(BoxOf(&right), std::sqrt(0.5), -std::sqrt(0.5), 1, std::sqrt(0.5));
  // The same range swept clockwise from +45 degrees.
  CQELEllipticalArc clockwise(NURBSPoint(0, 0), 1.0, kPi / 4, -kPi / 2);
  ExpectBox(BoxOf(&clockwise), std::sqrt(0.5), -std::sqrt(0.5), 1, std::sqrt(0.5));
  // Top half swept clockwise from the left: through the top only.
  CQELEllipticalArc top(NURBSPoint(0, 0), 2.0, kPi, -kPi);
  ExpectBox(BoxOf(&top), -2, 0, 2, 2);
  CQELEllipticalArc full(NURBSPoint(1, 1), 2.0, 0.3, 2 * kPi);
  ExpectBox(BoxOf(&full), -1, -1, 3, 3);
  // A small arc with no extreme inside keeps its end points.
  CQELEllipticalArc small(NURBSPoint(0, 0), 1.0, 0.1, 0.2);
  ExpectBox(BoxOf(&small), std::cos(0.3), std::sin(0.1), std::cos(0.1), std::sin(0.3));
  // Angles outside [-2 pi, 2 pi) are reduced correctly.
  CQELEllipticalArc wrapped(NURBSPoint(0, 0), 1.0, -4 * kPi - kPi / 4, kPi / 2);
  ExpectBox(BoxOf(&wrapped), std::sqrt(0.5), -std::sqrt(0.5), 1, std::sqrt(0.5));
}

TEST(BoundingBox, RotatedEllipseMatchesItsHalfExtents) {
  // Semi-axes a = 5, b = 2, rotated by 30 degrees: half-width sqrt(a^2 cos^2 + b^2 sin^2), etc.
  const double theta = kPi / 6;
  const double a = 5;
  const double b = 2;
  CQELEllipticalArc ellipse(NURBSPoint(10, 20),
                            NURBSPoint(a * std::cos(theta), a * std::sin(theta)), b / a, 1.0,
                            2 * kPi);
  const double hw = std::sqrt(a * a * std::cos(theta) * std::cos(theta) +
                              b * b * std::sin(theta) * std::sin(theta));
  const double hh = std::sqrt(a * a * std::sin(theta) * std::sin(theta) +
                              b * b * std::cos(theta) * std::cos(theta));
  ExpectBox(BoxOf(&ellipse), 10 - hw, 20 - hh, 10 + hw, 20 + hh, 1e-9);
}

TEST(BoundingBox, PartialEllipseMatchesDenseSampling) {
  const double theta = 2.0;
  const double a = 3;
  const double b = 1.2;
  for (double start : {-2.0, 0.4, 3.9}) {
    for (double sweep : {1.7, -2.9, 4.4}) {
      CQELEllipticalArc arc(NURBSPoint(-1, 2), NURBSPoint(a * std::cos(theta), a * std::sin(theta)),
                            b / a, start, sweep);
      Box sampled;
      const int steps = 200000;
      for (int i = 0; i <= steps; ++i) {
        const double u = start + sweep * i / steps;
        const double x = a * std::cos(u) * std::cos(theta) - b * std::sin(u) * std::sin(theta);
        const double y = a * std::cos(u) * std::sin(theta) + b * std::sin(u) * std::cos(theta);
        sampled.min.SetX(std::fmin(sampled.min.GetX(), x - 1));
        sampled.min.SetY(std::fmin(sampled.min.GetY(), y + 2));
        sampled.max.SetX(std::fmax(sampled.max.GetX(), x - 1));
        sampled.max.SetY(std::fmax(sampled.max.GetY(), y + 2));
      }
      SCOPED_TRACE(testing::Message() << "start " << start << " sweep " << sweep);
      ExpectBox(BoxOf(&arc), sampled.min.GetX(), sampled.min.GetY(), sampled.max.GetX(),
                sampled.max.GetY(), 1e-9);
    }
  }
}

void ExpectQuarterBox(double x1, double y1, double x2, double y2, double mx0, double my0,
                      double mx1, double my1) {
  NURBSPoint max;
  NURBSPoint min;
  QuarterArcBox(x1, y1, x2, y2, max, min);
  SCOPED_TRACE(testing::Message() << "S (" << x1 << ", " << y1 << ") E (" << x2 << ", " << y2
                                  << ")");
  EXPECT_NEAR(min.GetX(), mx0, 1e-12);
  EXPECT_NEAR(min.GetY(), my0, 1e-12);
  EXPECT_NEAR(max.GetX(), mx1, 1e-12);
  EXPECT_NEAR(max.GetY(), my1, 1e-12);
}

TEST(QuarterArcBox, EndsOnAxesAndInsideQuadrants) {
  ExpectQuarterBox(1, 0, 0, 1, 0, 0, 1, 1);
  ExpectQuarterBox(0.6, 0.8, -0.6, 0.8, -0.6, 0.8, 0.6, 1.0);
  ExpectQuarterBox(0, 1, -1, 0, -1, 0, 0, 1);
  ExpectQuarterBox(-1, 0, 0, -1, -1, -1, 0, 0);
  ExpectQuarterBox(0, -2, 2, 0, 0, -2, 2, 0);
  ExpectQuarterBox(0, 1, 1, 0, 0, 0, 1, 1);                      // clockwise
  ExpectQuarterBox(-0.6, 0.8, -0.8, 0.6, -0.8, 0.6, -0.6, 0.8);  // within one quadrant
}

TEST(QuarterArcBox, PiecesCrossingEachAxis) {
  const double c20 = std::cos(kPi / 9);
  const double s20 = std::sin(kPi / 9);
  // Across +x, +y, -x and -y, each from 20 degrees before the axis to 20 after, both ways.
  ExpectQuarterBox(c20, -s20, c20, s20, c20, -s20, 1, s20);
  ExpectQuarterBox(c20, s20, c20, -s20, c20, -s20, 1, s20);
  ExpectQuarterBox(s20, c20, -s20, c20, -s20, c20, s20, 1);
  ExpectQuarterBox(-c20, s20, -c20, -s20, -1, -s20, -c20, s20);
  ExpectQuarterBox(-s20, -c20, s20, -c20, -s20, -1, s20, -c20);
  ExpectQuarterBox(3 * s20, -3 * c20, -3 * s20, -3 * c20, -3 * s20, -3, 3 * s20, -3 * c20);
}

std::unique_ptr<CQELPolyLine> RegularPolygon(double cx, double cy, double r, int n, double a0,
                                             double direction) {
  auto polyline = std::make_unique<CQELPolyLine>();
  for (int k = 0; k < n; ++k) {
    const double a = a0 + direction * 2 * kPi * k / n;
    polyline->AddPoint(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  return polyline;
}

void ExpectArc(const CQELEllipticalArc* arc, double cx, double cy, double r, double start,
               double sweep) {
  ASSERT_NE(arc, nullptr);
  EXPECT_NEAR(arc->GetCenter().GetX(), cx, 1e-9);
  EXPECT_NEAR(arc->GetCenter().GetY(), cy, 1e-9);
  EXPECT_NEAR(arc->GetAxisPoint().GetX(), r, 1e-9);
  EXPECT_EQ(arc->GetAxisPoint().GetY(), 0.0);
  EXPECT_EQ(arc->GetRatio(), 1.0);
  EXPECT_NEAR(arc->GetStartAngle(), start, 1e-9);
  EXPECT_NEAR(arc->GetSweep(), sweep, 1e-9);
}

TEST(PolyLineToCircle, RegularPolygonsInBothOrientations) {
  auto ccw = RegularPolygon(0, 0, 5, 8, 0, 1);
  std::unique_ptr<CQELEllipticalArc> a(PolyLineToCircle(ccw.get()));
  ExpectArc(a.get(), 0, 0, 5, 0, 7 * kPi / 4);
  auto cw = RegularPolygon(0, 0, 5, 8, 0, -1);
  std::unique_ptr<CQELEllipticalArc> b(PolyLineToCircle(cw.get()));
  ExpectArc(b.get(), 0, 0, 5, 0, -7 * kPi / 4);

  // Off the origin, starting at 30 degrees, twelve sides.
  auto off = RegularPolygon(100, -50, 3, 12, kPi / 6, 1);
  std::unique_ptr<CQELEllipticalArc> c(PolyLineToCircle(off.get()));
  ExpectArc(c.get(), 100, -50, 3, kPi / 6, 11 * kPi / 6);
  EXPECT_EQ(off->GetPoints().size(), 12u);  // the polyline is not changed

  // Four points: the middle triple is the first one.
  auto square = RegularPolygon(1, 1, 2, 4, kPi / 4, -1);
  std::unique_ptr<CQELEllipticalArc> d(PolyLineToCircle(square.get()));
  ExpectArc(d.get(), 1, 1, 2, kPi / 4, -3 * kPi / 2);
}

TEST(PolyLineToCircle, RepeatedFirstPointGivesMinusFullTurn) {
  for (double direction : {1.0, -1.0}) {
    auto ring = RegularPolygon(2, 3, 4, 16, 0, direction);
    ring->AddPoint(ring->GetPoints().front());
    std::unique_ptr<CQELEllipticalArc> arc(PolyLineToCircle(ring.get()));
    ExpectArc(arc.get(), 2, 3, 4, 0, -2 * kPi);
  }
}

TEST(PolyLineToCircle, NearCirclesAreRejected) {
  CQELPolyLine three;
  three.AddPoint(1, 0);
  three.AddPoint(0, 1);
  three.AddPoint(-1, 0);
  EXPECT_EQ(PolyLineToCircle(&three), nullptr);
  EXPECT_EQ(PolyLineToCircle(nullptr), nullptr);

  // An ellipse of ratio 0.999 sampled at 16 points.
  CQELPolyLine ellipse;
  for (int k = 0; k < 16; ++k) {
    ellipse.AddPoint(10 * std::cos(2 * kPi * k / 16), 9.99 * std::sin(2 * kPi * k / 16));
  }
  EXPECT_EQ(PolyLineToCircle(&ellipse), nullptr);

  // One point of the middle triple moved outward by a millionth of the radius.
  auto bumped = RegularPolygon(0, 0, 5, 10, 0, 1);
  auto& p = bumped->GetPoints()[5];
  p = NURBSPoint(p.GetX() * (1 + 1e-6), p.GetY() * (1 + 1e-6));
  EXPECT_EQ(PolyLineToCircle(bumped.get()), nullptr);

  CQELPolyLine straight;
  for (int k = 0; k < 6; ++k) straight.AddPoint(k, 2 * k);
  EXPECT_EQ(PolyLineToCircle(&straight), nullptr);

  CQELPolyLine repeated;
  repeated.AddPoint(1, 0);
  repeated.AddPoint(1, 0);
  repeated.AddPoint(0, 1);
  repeated.AddPoint(-1, 0);
  EXPECT_EQ(PolyLineToCircle(&repeated), nullptr);
}

}  // namespace
