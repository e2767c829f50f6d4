// Entity classes: point operations, the per-class virtual operations (including the deliberate
// no-ops), cloning, polylines and arc flattening.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <random>

#include "QELEntity.h"
#include "QELPolyLine.h"

namespace {

constexpr double kPi = std::numbers::pi;

void ExpectPoint(const NURBSPoint& p, double x, double y, double tolerance = 1e-12) {
  EXPECT_NEAR(p.GetX(), x, tolerance);
  EXPECT_NEAR(p.GetY(), y, tolerance);
}

TEST(PointOperations, ConstructorsAndTransforms) {
  EXPECT_EQ(NURBSPoint(), NURBSPoint(0.0, 0.0, 1.0));
  EXPECT_EQ(NURBSPoint(2.0, 3.0).GetWeight(), 1.0);
  const PolyDrawPoint pd(1.0, 2.0, 0.5, 3);
  EXPECT_EQ(pd.GetX(), 1.0);
  EXPECT_EQ(pd.GetY(), 2.0);
  EXPECT_EQ(pd.GetWeight(), 0.5);
  EXPECT_EQ(pd.GetKind(), 3);

  NURBSPoint p(1.0, 2.0, 7.0);
  p.Transform(2, 1, 3, 4, 5, 6);  // x = 2 + 2 + 5, y = 3 + 8 + 6
  EXPECT_EQ(p, NURBSPoint(9.0, 17.0, 7.0));
  NURBSPoint q(2.0, 3.0);
  q.TransformBilinear(1, 0, 0, 1, 1, 2, 3, 4);  // x = 2 + 6 + 3, y = 3 + 12 + 4
  EXPECT_EQ(q, NURBSPoint(11.0, 19.0));
  NURBSPoint r(1.0, 0.0);
  r.Rotate(kPi / 2);
  ExpectPoint(r, 0.0, 1.0);
  r.Rotate(kPi / 4);  // from 90 to 135 degrees
  ExpectPoint(r, -std::sqrt(0.5), std::sqrt(0.5));
  auto heap = r.Clone();
  EXPECT_EQ(*heap, r);
}

TEST(EntityTypes, EachClassCarriesItsCode) {
  EXPECT_EQ(CQELLine().GetType(), 0);
  EXPECT_EQ(CQELEllipticalArc().GetType(), 1);
  EXPECT_EQ(CQELPolyLine().GetType(), 2);
  EXPECT_EQ(CQELPolyDraw().GetType(), 3);
  EXPECT_EQ(CQELD3Bezier().GetType(), 4);
  EXPECT_EQ(CQELDot().GetType(), 8);
  CQELDot dot;
  dot.SetType(5);
  EXPECT_EQ(dot.GetType(), 5);
  const CQELEllipticalArc arc;
  EXPECT_EQ(arc.GetRatio(), 1.0);
  EXPECT_EQ(arc.GetSweep(), 6.283185307179586);
  EXPECT_EQ(arc.GetCenter(), NURBSPoint());
  EXPECT_EQ(arc.GetAxisPoint(), NURBSPoint());
}

TEST(EntityTransforms, LineAndDotApplyToTheirPoints) {
  CQELLine line(NURBSPoint(1, 1), NURBSPoint(2, -1));
  line.Scale(2, 3);
  EXPECT_EQ(line.GetStartPoint(), NURBSPoint(2, 3));
  EXPECT_EQ(line.GetEndPoint(), NURBSPoint(4, -3));
  line.Transform(1, 0, 0, 1, -2, -3);
  EXPECT_EQ(line.GetStartPoint(), NURBSPoint(0, 0));
  line.TransformBilinear(1, 0, 0, 1, 1, 0, 0, 0);  // x += x*y on (2, -6)
  EXPECT_EQ(line.GetEndPoint(), NURBSPoint(-10, -6));

  CQELDot dot(NURBSPoint(1, 0));
  dot.Rotate(kPi / 2);
  ExpectPoint(dot.GetPosition(), 0, 1);
  dot.Scale(3, 5);
  ExpectPoint(dot.GetPosition(), 0, 5);
  dot.Transform(0, 1, 1, 0, 1, 1);  // swap then shift
  ExpectPoint(dot.GetPosition(), 6, 1);
}

TEST(EntityTransforms, ArcScaleOnlyWhenCircularAndUniform) {
  CQELEllipticalArc arc(NURBSPoint(1, 2), 3.0, 0.5, 1.0);
  arc.Scale(2, 3);
  EXPECT_EQ(arc.GetCenter(), NURBSPoint(1, 2));
  EXPECT_EQ(arc.GetAxisPoint(), NURBSPoint(3, 0));
  arc.Scale(2, 2);
  EXPECT_EQ(arc.GetCenter(), NURBSPoint(2, 4));
  EXPECT_EQ(arc.GetAxisPoint(), NURBSPoint(6, 0));
  EXPECT_EQ(arc.GetStartAngle(), 0.5);
  EXPECT_EQ(arc.GetSweep(), 1.0);

  CQELEllipticalArc ellipse(NURBSPoint(1, 2), NURBSPoint(3, 0), 0.5, 0.0, 1.0);
  ellipse.Scale(2, 2);
  EXPECT_EQ(ellipse.GetCenter(), NURBSPoint(1, 2));
  EXPECT_EQ(ellipse.GetAxisPoint(), NURBSPoint(3, 0));
}

TEST(EntityTransforms, ArcTransformMovesTheCentreOnly) {
  CQELEllipticalArc arc(NURBSPoint(1, -2), 3.0, 0.25, 2.0);
  arc.Transform(2, 0, 0, 2, 5, 5);
  EXPECT_EQ(arc.GetCenter(), NURBSPoint(7, 1));
  EXPECT_EQ(arc.GetAxisPoint(), NURBSPoint(3, 0));  // the radius stays
  arc.TransformBilinear(2, 0, 0, 2, 1, 1, 9, 9);    // no effect on arcs
  EXPECT_EQ(arc.GetCenter(), NURBSPoint(7, 1));
  arc.Rotate(kPi / 2);
  ExpectPoint(arc.GetCenter(), -1, 7);
  ExpectPoint(arc.GetAxisPoint(), 0, 3);
  EXPECT_EQ(arc.GetStartAngle(), 0.25);
  EXPECT_EQ(arc.GetSweep(), 2.0);
}

TEST(EntityTransforms, PolyDrawAndBezierOnlyRotate) {
  CQELPolyDraw draw;
  draw.AddPoint(PolyDrawPoint(1, 0, 1, 0));
  draw.AddPoint(PolyDrawPoint(0, 2, 1, 2));
  draw.Scale(5, 5);
  draw.Transform(1, 0, 0, 1, 10, 10);
  draw.TransformBilinear(1, 0, 0, 1, 1, 1, 1, 1);
  EXPECT_EQ(draw.GetPoints()[0].GetX(), 1.0);
  draw.Rotate(kPi / 2);
  ExpectPoint(draw.GetPoints()[0], 0, 1);
  ExpectPoint(draw.GetPoints()[1], -2, 0);
  EXPECT_EQ(draw.GetPoints()[1].GetKind(), 2);

  CQELD3Bezier bezier;
  bezier.GetControlPoints()[3] = NURBSPoint(0, 1, 2.0);
  bezier.Scale(3, 3);
  bezier.Transform(1, 0, 0, 1, 4, 4);
  EXPECT_EQ(bezier.GetControlPoints()[3], NURBSPoint(0, 1, 2.0));
  bezier.Rotate(-kPi / 2);
  ExpectPoint(bezier.GetControlPoints()[3], 1, 0);
  EXPECT_EQ(bezier.GetControlPoints()[3].GetWeight(), 2.0);
}

TEST(EntityClone, PolyDrawAndBezierGiveNull) {
  const CQELPolyDraw draw;
  const CQELD3Bezier bezier;
  EXPECT_EQ(static_cast<const CQELEntity&>(draw).Clone(), nullptr);
  EXPECT_EQ(static_cast<const CQELEntity&>(bezier).Clone(), nullptr);
}

TEST(EntityClone, ClonesAreIndependentDeepCopies) {
  CQELPolyLine source;
  source.AddPoint(NURBSPoint(1, 2, 0.5));
  source.AddPoint(3, 4);
  source.SetClosed(0);
  std::unique_ptr<CQELEntity> clone(static_cast<const CQELEntity&>(source).Clone());
  ASSERT_NE(clone, nullptr);
  ASSERT_EQ(clone->GetType(), 2);
  auto* copy = static_cast<CQELPolyLine*>(clone.get());
  EXPECT_EQ(copy->GetClosed(), 0);
  ASSERT_EQ(copy->GetPoints().size(), 2u);
  EXPECT_EQ(copy->GetPoints()[0], NURBSPoint(1, 2, 0.5));
  copy->GetPoints()[0].SetX(99);
  copy->Transform(1, 0, 0, 1, 10, 0);
  EXPECT_EQ(source.GetPoints()[0], NURBSPoint(1, 2, 0.5));
  EXPECT_EQ(source.GetPoints()[1], NURBSPoint(3, 4));

  CQELLine line(NURBSPoint(1, 1, 3.0), NURBSPoint(2, 2));
  std::unique_ptr<CQELLine> line_copy(line.Clone());
  line_copy->GetStartPoint().SetY(-1);
  EXPECT_EQ(line.GetStartPoint(), NURBSPoint(1, 1, 3.0));
  EXPECT_EQ(line_copy->GetStartPoint().GetWeight(), 3.0);

  CQELDot dot(NURBSPoint(5, 6, 2.0));
  std::unique_ptr<CQELDot> dot_copy(dot.Clone());
  dot_copy->Scale(2, 2);
  EXPECT_EQ(dot.GetPosition(), NURBSPoint(5, 6, 2.0));
  EXPECT_EQ(dot_copy->GetPosition(), NURBSPoint(10, 12, 2.0));
}

TEST(EntityClone, ArcCloneCopiesCoordinatesButNotWeights) {
  CQELEllipticalArc arc(NURBSPoint(1, 2, 4.0), NURBSPoint(3, 1, 5.0), 0.5, 0.25, -1.5);
  std::unique_ptr<CQELEllipticalArc> copy(arc.Clone());
  EXPECT_EQ(copy->GetCenter(), NURBSPoint(1, 2, 1.0));
  EXPECT_EQ(copy->GetAxisPoint(), NURBSPoint(3, 1, 1.0));
  EXPECT_EQ(copy->GetRatio(), 0.5);
  EXPECT_EQ(copy->GetStartAngle(), 0.25);
  EXPECT_EQ(copy->GetSweep(), -1.5);
  copy->GetCenter().SetX(0);
  EXPECT_EQ(arc.GetCenter().GetX(), 1.0);
}

TEST(EntityClone, DeleteEntitiesReleasesAMixedList) {
  std::vector<CQELEntity*> list{new CQELLine(),    new CQELPolyLine(), new CQELEllipticalArc(),
                                nullptr,           new CQELDot(),      new CQELPolyDraw(),
                                new CQELD3Bezier()};
  DeleteEntities(list);  // the leak checker of the sanitizer build watches this
  EXPECT_TRUE(list.empty());
}

TEST(PolyLine, FreshTransformAndRotate) {
  CQELPolyLine polyline;
  EXPECT_EQ(polyline.GetClosed(), 1);
  EXPECT_TRUE(polyline.GetPoints().empty());
  polyline.AddPoint(0, 0);
  polyline.AddPoint(2, 0);
  polyline.AddPoint(2, 1);
  polyline.Transform(1, 0, 0, 1, 3, -4);
  EXPECT_EQ(polyline.GetPoints()[2], NURBSPoint(5, -3));
  EXPECT_EQ(polyline.GetClosed(), 1);
  polyline.Rotate(kPi);
  ExpectPoint(polyline.GetPoints()[0], -3, 4);
  ExpectPoint(polyline.GetPoints()[2], -5, 3);
  polyline.Scale(2, -1);
  ExpectPoint(polyline.GetPoints()[1], -10, -4);
}

TEST(PolyLine, CloseIfEndsMeet) {
  CQELPolyLine near;
  near.AddPoint(10, 0);
  near.AddPoint(5, 5);
  near.AddPoint(10.0005, 0);
  near.SetClosed(0);
  CloseIfEndsMeet(&near);
  EXPECT_EQ(near.GetClosed(), 1);
  EXPECT_EQ(near.GetPoints().size(), 2u);

  CQELPolyLine far;
  far.AddPoint(10, 0);
  far.AddPoint(5, 5);
  far.AddPoint(10.002, 0);
  CloseIfEndsMeet(&far);
  EXPECT_EQ(far.GetClosed(), 0);
  EXPECT_EQ(far.GetPoints().size(), 3u);

  CQELPolyLine single;
  single.AddPoint(1, 1);
  single.SetClosed(0);
  CloseIfEndsMeet(&single);
  EXPECT_EQ(single.GetClosed(), 1);
  EXPECT_TRUE(single.GetPoints().empty());

  CQELPolyLine empty;
  empty.SetClosed(0);
  CloseIfEndsMeet(&empty);
  EXPECT_EQ(empty.GetClosed(), 0);
  CloseIfEndsMeet(nullptr);
}

// Point arrays of every size are recycled between polylines: interleaved creation, cloning,
// growth and destruction must never let two live polylines share storage.
TEST(PolyLine, RecycledPointStorageStaysPrivate) {
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> size(0, 900);
  struct Tagged {
    double tag;
    std::size_t count;
    std::unique_ptr<CQELPolyLine> polyline;
  };
  std::vector<Tagged> live;
  auto intact = [](const Tagged& t) {
    const QELPointList& p = t.polyline->GetPoints();
    if (p.size() != t.count) return false;
    for (std::size_t k = 0; k < p.size(); ++k) {
      if (p[k] != NURBSPoint(t.tag, static_cast<double>(k), 2.0)) return false;
    }
    return true;
  };
  for (int round = 0; round < 2000; ++round) {
    const double tag = round;
    auto polyline = std::make_unique<CQELPolyLine>();
    const std::size_t count = static_cast<std::size_t>(size(rng));
    for (std::size_t k = 0; k < count; ++k) polyline->AddPoint(tag, static_cast<double>(k), 2.0);
    std::unique_ptr<CQELPolyLine> copy(polyline->Clone());
    live.push_back({tag, count, std::move(polyline)});
    live.push_back({tag, count, std::move(copy)});
    if (live.size() > 40) {
      const std::size_t victim = static_cast<std::size_t>(rng()) % live.size();
      live.erase(live.begin() + static_cast<std::ptrdiff_t>(victim));
    }
    if (round % 97 == 0) {
      for (const Tagged& t : live) ASSERT_TRUE(intact(t)) << "round " << round;
    }
  }
  for (const Tagged& t : live) EXPECT_TRUE(intact(t));
}

TEST(ArcFlattening, StepIsTheSinglePrecisionFiveDegrees) {
  EXPECT_EQ(kArcFlatteningStep, 0.08722222513622707);
}

TEST(ArcFlattening, FullCircleGives74Points) {
  const CQELEllipticalArc circle(NURBSPoint(0, 0), 1.0, 0.0, 6.283185307179586);
  std::unique_ptr<CQELPolyLine> polyline(circle.ToPolyLine(1, 0, 0, 1, 0, 0));
  EXPECT_EQ(polyline->GetClosed(), 0);
  ASSERT_EQ(polyline->GetPoints().size(), 74u);
  const auto& p = polyline->GetPoints();
  ExpectPoint(p.front(), 1, 0);
  ExpectPoint(p.back(), 1, 0);
  // Equal steps of 2 pi / 73.
  ExpectPoint(p[1], std::cos(2 * kPi / 73), std::sin(2 * kPi / 73));
  for (const NURBSPoint& q : p) EXPECT_NEAR(std::hypot(q.GetX(), q.GetY()), 1.0, 1e-12);
}

TEST(ArcFlattening, RotatedEllipsePointsLieOnTheEllipse) {
  // Major radius 2 along +y, minor 1, centre (1, 1), a quarter of the parameter range.
  const CQELEllipticalArc arc(NURBSPoint(1, 1), NURBSPoint(0, 2), 0.5, 0.0, kPi / 2);
  std::unique_ptr<CQELPolyLine> polyline(arc.ToPolyLine(1, 0, 0, 1, 0, 0));
  const auto& p = polyline->GetPoints();
  ASSERT_EQ(p.size(), 20u);  // ceil(1.5708 / 0.0872222) = 19 segments
  ExpectPoint(p.front(), 1, 3);
  ExpectPoint(p.back(), 0, 1);
  for (const NURBSPoint& q : p) {
    // In the ellipse's own frame the major axis is +y and the minor axis -x.
    const double u = q.GetY() - 1;
    const double v = -(q.GetX() - 1);
    EXPECT_NEAR(u * u / 4 + v * v, 1.0, 1e-12);
  }
}

TEST(ArcFlattening, NegativeSweepsTransformsAndDegenerateSweeps) {
  const CQELEllipticalArc half(NURBSPoint(0, 0), 1.0, 0.0, -kPi);
  std::unique_ptr<CQELPolyLine> p(half.ToPolyLine(2, 0, 0, 2, 5, 5));
  ASSERT_EQ(p->GetPoints().size(), 38u);  // ceil(3.14159 / 0.0872222) = 37
  ExpectPoint(p->GetPoints()[0], 7, 5);
  EXPECT_LT(p->GetPoints()[1].GetY(), 5.0);  // clockwise: down first
  ExpectPoint(p->GetPoints().back(), 3, 5);

  const CQELEllipticalArc quarter(NURBSPoint(0, 0), 1.0, 0.0, kPi / 2);
  std::unique_ptr<CQELPolyLine> b(quarter.ToPolyLineBilinear(1, 0, 0, 1, 1, 0, 0, 0));
  ExpectPoint(b->GetPoints().back(), 0, 1);
  // Midway point (cos 45, sin 45) gains x*y = 0.5 in x (up to the 19-step parameter grid).
  const NURBSPoint& mid = b->GetPoints()[10];
  const double t = kPi / 2 / 19 * 10;
  ExpectPoint(mid, std::cos(t) + std::cos(t) * std::sin(t), std::sin(t));

  const CQELEllipticalArc zero(NURBSPoint(1, 1), 2.0, kPi / 2, 0.0);
  std::unique_ptr<CQELPolyLine> z(zero.ToPolyLine(1, 0, 0, 1, 0, 0));
  ASSERT_EQ(z->GetPoints().size(), 1u);
  ExpectPoint(z->GetPoints()[0], 1, 3);

  const CQELEllipticalArc runaway(NURBSPoint(0, 0), 1.0, 0.0, 1e300);
  std::unique_ptr<CQELPolyLine> r(runaway.ToPolyLine(1, 0, 0, 1, 0, 0));
  EXPECT_TRUE(r->GetPoints().empty());
  const CQELEllipticalArc undefined(NURBSPoint(0, 0), 1.0, 0.0, std::nan(""));
  std::unique_ptr<CQELPolyLine> u(undefined.ToPolyLine(1, 0, 0, 1, 0, 0));
  EXPECT_TRUE(u->GetPoints().empty());
}

}  // namespace
