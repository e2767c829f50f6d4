// Entities, boxes, pieces, arcs, stream records and numeric helpers: hand-worked rows per table.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <memory>
#include <numbers>

#include "QELUtility.h"

namespace {

constexpr double kPi = std::numbers::pi;
const double kNaN = std::nan(""), kInf = INFINITY;
using P = NURBSPoint;
using Pts = std::vector<P>;

void ExpectPoints(const Pts& got, const Pts& want, double tol = 1e-12) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i].GetX(), want[i].GetX(), tol) << i;
    EXPECT_NEAR(got[i].GetY(), want[i].GetY(), tol) << i;
    EXPECT_NEAR(got[i].GetWeight(), want[i].GetWeight(), tol) << i;
  }
}

template <class C>
Pts All(const C& c) {
  return Pts(c.begin(), c.end());
}

// The defining points of an entity (an arc: centre, axis point and (start, sweep)).
Pts PointsOf(const CQELEntity& e) {
  switch (e.GetType()) {
    case CQELEntity::kLine:
      return {static_cast<const CQELLine&>(e).GetStartPoint(),
              static_cast<const CQELLine&>(e).GetEndPoint()};
    case CQELEntity::kEllipticalArc: {
      const auto& a = static_cast<const CQELEllipticalArc&>(e);
      return {a.GetCenter(), a.GetAxisPoint(), P(a.GetStartAngle(), a.GetSweep())};
    }
    case CQELEntity::kPolyLine:
      return All(static_cast<const CQELPolyLine&>(e).GetPoints());
    case CQELEntity::kPolyDraw:
      return All(static_cast<const CQELPolyDraw&>(e).GetPoints());
    case CQELEntity::kD3Bezier:
      return All(static_cast<const CQELD3Bezier&>(e).GetControlPoints());
    default:
      return {static_cast<const CQELDot&>(e).GetPosition()};
  }
}

CQELPolyLine* Poly(std::initializer_list<std::pair<double, double>> points, int closed = 1) {
  auto* p = new CQELPolyLine();
  for (auto [x, y] : points) p->AddPoint(x, y);
  p->SetClosed(closed);
  return p;
}

CQELPolyDraw* Draw(std::initializer_list<std::array<double, 3>> points) {
  auto* d = new CQELPolyDraw();
  for (auto [x, y, kind] : points) d->AddPoint(PolyDrawPoint(x, y, 1, static_cast<int>(kind)));
  return d;
}

struct EntityList {
  std::vector<CQELEntity*> items;
  ~EntityList() { DeleteEntities(items); }
};

// Transforms apply to the points a class has; arcs move only their centre, polydraws and
// pieces only rotate. Rows chain operations (s scale, r rotate, t affine, b bilinear) by hand.
TEST(EntityTransforms, EachClassAppliesWhatItHas) {
  struct Row {
    CQELEntity* e;
    std::vector<std::pair<char, std::array<double, 8>>> ops;
    Pts want;
  };
  auto* piece = new CQELD3Bezier();
  piece->GetControlPoints()[3] = P(0, 1, 2.0);
  const Row rows[] = {
      {new CQELLine(P(1, 1), P(2, -1)), {{'s', {2, 3}}}, {P(2, 3), P(4, -3)}},
      {new CQELLine(P(2, 3), P(4, -3)),  // x += x y
       {{'t', {1, 0, 0, 1, -2, -3}}, {'b', {1, 0, 0, 1, 1, 0, 0, 0}}},
       {P(0, 0), P(-10, -6)}},
      {new CQELEllipticalArc(P(1, 2), 3.0, 0.5, 1.0),  // a circle scales only uniformly
       {{'s', {2, 3}}, {'s', {2, 2}}},
       {P(2, 4), P(6, 0), P(0.5, 1.0)}},
      {new CQELEllipticalArc(P(1, -2), 3.0, 0.25, 2.0),
       {{'t', {2, 0, 0, 2, 5, 5}}, {'b', {2, 0, 0, 2, 1, 1, 9, 9}}, {'r', {kPi / 2}}},
       {P(-1, 7), P(0, 3), P(0.25, 2.0)}},
      {Draw({{1, 0, 0}, {0, 2, 2}}),
       {{'s', {5, 5}},
        {'t', {1, 0, 0, 1, 10, 10}},
        {'b', {1, 0, 0, 1, 1, 1, 1, 1}},
        {'r', {kPi / 2}}},
       {P(0, 1), P(-2, 0)}},
      {piece,
       {{'s', {3, 3}}, {'t', {1, 0, 0, 1, 4, 4}}, {'r', {-kPi / 2}}},
       {P(), P(), P(), P(1, 0, 2.0)}},
      {Poly({{0, 0}, {2, 0}, {2, 1}}),
       {{'t', {1, 0, 0, 1, 3, -4}}, {'r', {kPi}}, {'s', {2, -1}}},
       {P(-6, -4), P(-10, -4), P(-10, -3)}},
  };
  for (const Row& r : rows) {
    std::unique_ptr<CQELEntity> e(r.e);
    SCOPED_TRACE(e->GetType());
    for (const auto& [kind, v] : r.ops) {
      if (kind == 's') e->Scale(v[0], v[1]);
      if (kind == 'r') e->Rotate(v[0]);
      if (kind == 't') e->Transform(v[0], v[1], v[2], v[3], v[4], v[5]);
      if (kind == 'b') e->TransformBilinear(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    }
    ExpectPoints(PointsOf(*e), r.want);
    // Clones are deep copies (arcs drop their weights); polydraws and pieces have none.
    std::unique_ptr<CQELEntity> copy(static_cast<const CQELEntity&>(*e).Clone());
    if (e->GetType() == CQELEntity::kPolyDraw || e->GetType() == CQELEntity::kD3Bezier) {
      EXPECT_EQ(copy, nullptr);
      continue;
    }
    ExpectPoints(PointsOf(*copy), r.want);
    copy->Transform(1, 0, 0, 1, 10, 10);
    ExpectPoints(PointsOf(*e), r.want);
  }
}

// Boxes grown over entity lists; arcs reach their extremes, other codes are passed over.
TEST(BoundingBox, EntityListsAndArcs) {
  const double h = std::sqrt(0.5);
  const std::pair<std::vector<CQELEntity*>, Pts> rows[] = {
      // entities, min and max
      {{new CQELLine(P(3, -1), P(-2, 4)), new CQELDot(P(10, 0)), nullptr, Draw({{100, 100, 1}}),
        new CQELD3Bezier()},
       {P(-2, -1), P(10, 4)}},
      {{new CQELEllipticalArc(P(), 2.0, kPi, -kPi)}, {P(-2, 0), P(2, 2)}},
      {{new CQELEllipticalArc(P(1, 1), 2.0, 0.3, 2 * kPi)}, {P(-1, -1), P(3, 3)}},
      {{new CQELEllipticalArc(P(), 1.0, -4 * kPi - kPi / 4, kPi / 2)}, {P(h, -h), P(1, h)}},
  };
  for (const auto& [items, want] : rows) {
    EntityList list{items};
    P min(1e300, 1e300), max(-1e300, -1e300);
    for (const CQELEntity* e : list.items) GrowBoundingBox(min, max, e);
    ExpectPoints({min, max}, want, 1e-9);
  }
  // A partial rotated ellipse against dense sampling of its parameter range.
  for (double start : {-2.0, 0.4, 3.9}) {
    for (double sweep : {1.7, -2.9, 4.4}) {
      const double c = std::cos(2.0), s = std::sin(2.0), ea = 3, eb = 1.2;
      CQELEllipticalArc arc(P(-1, 2), P(ea * c, ea * s), eb / ea, start, sweep);
      P min(1e300, 1e300), max(-1e300, -1e300), smin = min, smax = max;
      GrowBoundingBox(min, max, &arc);
      for (int i = 0; i <= 200000; ++i) {
        const double u = start + sweep * i / 200000;
        const double x = -1 + ea * std::cos(u) * c - eb * std::sin(u) * s;
        const double y = 2 + ea * std::cos(u) * s + eb * std::sin(u) * c;
        smin = P(std::fmin(smin.GetX(), x), std::fmin(smin.GetY(), y));
        smax = P(std::fmax(smax.GetX(), x), std::fmax(smax.GetY(), y));
      }
      ExpectPoints({min, max}, {smin, smax}, 1e-9);
    }
  }
}

// The box of an arc piece of at most a quarter turn from S to E about the origin.
TEST(QuarterArcBox, EndsOnAxesInsideQuadrantsAndAcrossAxes) {
  const double c = std::cos(kPi / 9), s = std::sin(kPi / 9);
  const double rows[][8] = {
      // S x, S y, E x, E y, min x, min y, max x, max y
      {1, 0, 0, 1, 0, 0, 1, 1},
      {0.6, 0.8, -0.6, 0.8, -0.6, 0.8, 0.6, 1.0},
      {0, 1, -1, 0, -1, 0, 0, 1},
      {0, -1, -1, 0, -1, -1, 0, 0},  // clockwise from the negative y axis
      {-0.6, 0.8, -0.8, 0.6, -0.8, 0.6, -0.6, 0.8},
      {c, -s, c, s, c, -s, 1, s},
      {3 * s, -3 * c, -3 * s, -3 * c, -3 * s, -3, 3 * s, -3 * c},
  };
  for (const auto& r : rows) {
    P max, min;
    QuarterArcBox(r[0], r[1], r[2], r[3], max, min);
    SCOPED_TRACE(testing::Message() << "from " << r[0] << ", " << r[1]);
    ExpectPoints({min, max}, {P(r[4], r[5]), P(r[6], r[7])});
  }
}

// n sides about (cx, cy) from angle a0, dir 1 counter-clockwise; a ring repeats its first point.
CQELPolyLine* Polygon(double cx, double cy, double r, int n, double a0, double dir, bool ring) {
  auto* p = new CQELPolyLine();
  for (int k = 0; k < n + ring; ++k) {
    const double a = a0 + dir * 2 * kPi * (k % n) / n;
    p->AddPoint(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  return p;
}

// Polylines recognised as circles: centre, radius, start and sweep; near circles are not.
TEST(PolyLineToCircle, RegularPolygonsAndNearCircles) {
  struct Row {
    CQELPolyLine* p;
    Pts want;  // centre, (radius, 0), (start, sweep); none: not a circle
  };
  CQELPolyLine* bumped = Polygon(0, 0, 5, 10, 0, 1, false);
  bumped->GetPoints()[5] =
      P(bumped->GetPoints()[5].GetX() * (1 + 1e-6), bumped->GetPoints()[5].GetY());
  const Row rows[] = {
      {Polygon(0, 0, 5, 8, 0, 1, false), {P(0, 0), P(5, 0), P(0, 7 * kPi / 4)}},
      {Polygon(100, -50, 3, 12, kPi / 6, 1, false),
       {P(100, -50), P(3, 0), P(kPi / 6, 11 * kPi / 6)}},
      {Polygon(1, 1, 2, 4, kPi / 4, -1, false), {P(1, 1), P(2, 0), P(kPi / 4, -3 * kPi / 2)}},
      {Polygon(2, 3, 4, 16, 0, 1, true), {P(2, 3), P(4, 0), P(0, -2 * kPi)}},  // a ring: full turn
      {bumped, {}},
      {Poly({{0, 0}, {1, 2}, {2, 4}, {3, 6}, {4, 8}}), {}},
  };
  for (const Row& r : rows) {
    std::unique_ptr<CQELPolyLine> p(r.p);
    const size_t n = p->GetPoints().size();
    std::unique_ptr<CQELEllipticalArc> arc(PolyLineToCircle(p.get()));
    EXPECT_EQ(p->GetPoints().size(), n);
    ASSERT_EQ(arc != nullptr, !r.want.empty()) << n;
    if (arc) ExpectPoints(PointsOf(*arc), r.want, 1e-9);
  }
  EXPECT_EQ(PolyLineToCircle(nullptr), nullptr);
}

// Quadratic pieces raised to rational cubics: homogeneous control points, worked by hand.
TEST(QuadraticPieces, ElevationEvaluationAndFlattening) {
  CQELD3Bezier c;
  ElevateQuadratic(P(0, 0), P(3, 6), P(6, 0), c);
  ExpectPoints(PointsOf(c), {P(0, 0), P(2, 4), P(4, 4), P(6, 0)});
  // w1 = 1 + 2/3, x1 = (4/3) / (5/3); w2 = 2 - 1/3, x2 = 2 / (5/3), y2 = (4/3) / (5/3).
  ElevateQuadratic(P(0, 0), P(1, 1, 2), P(2, 0), c);
  ExpectPoints(PointsOf(c), {P(0, 0), P(0.8, 0.8, 5.0 / 3), P(1.2, 0.8, 5.0 / 3), P(2, 0)});

  const P q[4] = {P(0, 0), P(1, 1, 2), P(2, 0), P(9, 9)};
  ExpectPoints(
      {EvaluateRationalBezier(q, 0.25, 1), EvaluateRationalBezier(q, 0.5, 2),
       EvaluateRationalBezier(q, 1.0, 3), EvaluateRationalBezier(q, 0.5, 0),
       EvaluateRationalBezier(q, 0.5, 4), EvaluateRationalBezier(std::span<const P>(q, 2), 0.5, 3)},
      {P(0.4, 0.4, 1.25), P(1, 2.0 / 3, 1.5), P(9, 9), P(), P(), P()});

  // Four points per piece at t = 1/4 .. 1; a piece of one point is two copies of it.
  const std::pair<std::array<P, 4>, Pts> rows[] = {
      {{P(0, 0), P(2.0 / 3, 2.0 / 3), P(4.0 / 3, 2.0 / 3), P(2, 0)},
       {P(0.5, 0.375), P(1, 0.5), P(1.5, 0.375), P(2, 0)}},
      {{P(3, 4, 2), P(3, 4, 2), P(3, 4, 2), P(3, 4, 2)}, {P(3, 4), P(3, 4)}},
      // First two equal, last two share only x: still a curve.
      {{P(0, 0), P(0, 0), P(1, 2), P(1, 5)},
       {P(0.15625, 0.359375), P(0.5, 1.375), P(0.84375, 2.953125), P(1, 5)}},
  };
  for (const auto& [points, want] : rows) {
    CQELD3Bezier piece;
    piece.GetControlPoints() = points;
    CQELPolyLine out;
    FlattenCubicPiece(piece, &out);
    ExpectPoints(PointsOf(out), want);
  }
  FlattenCubicPiece(c, nullptr);
}

// Poly-draw contours (kinds 0 start, 1 line, 2 control, 3 closing) become polylines; two
// control points in a row imply the on-curve point between them; malformed runs stay in bounds.
TEST(PolyDrawConversion, ContoursBecomePolylinesAndMalformedRunsStayInBounds) {
  const std::pair<CQELPolyDraw*, std::vector<Pts>> rows[] = {
      // every point of every contour
      {Draw({{0, 0, 0}, {0, 10, 2}, {10, 10, 2}, {10, 0, 3}}),
       {{P(0, 0), P(0.3125, 4.375), P(1.25, 7.5), P(2.8125, 9.375), P(5, 10), P(7.1875, 9.375),
         P(8.75, 7.5), P(9.6875, 4.375), P(10, 0)}}},
      {Draw({{5, 5, 1}, {0, 0, 0}, {1, 0, 7}, {1, 1, 2}, {2, 1, 2}}),
       {{P(0, 0), P(0.46875, 0.4375), P(0.875, 0.75), P(1.21875, 0.9375), P(1.5, 1)}}},
  };
  for (const auto& [raw, want] : rows) {
    std::unique_ptr<CQELPolyDraw> draw(raw);
    const size_t n = draw->GetPoints().size();
    EntityList out;
    for (CQELPolyLine* p : PolyDrawToPolyLines(draw.get())) out.items.push_back(p);
    EXPECT_EQ(draw->GetPoints().size(), n);
    ASSERT_EQ(out.items.size(), want.size());
    for (size_t k = 0; k < want.size(); ++k) ExpectPoints(PointsOf(*out.items[k]), want[k]);
  }
  EXPECT_TRUE(PolyDrawToPolyLines(nullptr).empty());
}

// Arcs flattened at the single-precision five-degree step into equal parameter steps; every
// point lies on the (transformed) ellipse.
TEST(ArcFlattening, PointCountsEndsAndTheEllipse) {
  struct Row {
    CQELEllipticalArc arc;
    double scale, dx, dy;
    Pts ends;  // first and last; none: no points
    size_t count;
  } const rows[] = {
      {CQELEllipticalArc(P(0, 0), 1.0, 0.0, 2 * kPi), 1, 0, 0, {P(1, 0), P(1, 0)}, 74},
      // Major radius 2 along +y, minor 1: ceil(1.5708 / 0.0872222) = 19 segments.
      {CQELEllipticalArc(P(1, 1), P(0, 2), 0.5, 0.0, kPi / 2), 1, 0, 0, {P(1, 3), P(0, 1)}, 20},
      {CQELEllipticalArc(P(0, 0), 1.0, 0.0, -kPi), 2, 5, 5, {P(7, 5), P(3, 5)}, 38},
      {CQELEllipticalArc(P(1, 1), 2.0, kPi / 2, 0.0), 1, 0, 0, {P(1, 3), P(1, 3)}, 1},
      {CQELEllipticalArc(P(0, 0), 1.0, 0.0, kNaN), 1, 0, 0, {}, 0},
  };
  for (const Row& r : rows) {
    std::unique_ptr<CQELPolyLine> p(r.arc.ToPolyLine(r.scale, 0, 0, r.scale, r.dx, r.dy));
    const auto& q = p->GetPoints();
    ASSERT_EQ(q.size(), r.count);
    if (q.empty()) continue;
    ExpectPoints({q.front(), q.back()}, r.ends);
    const P c = r.arc.GetCenter(), ax = r.arc.GetAxisPoint();
    const double a = std::hypot(ax.GetX(), ax.GetY()), b = a * r.arc.GetRatio();
    for (const P& pt : q) {
      const double x = (pt.GetX() - r.dx) / r.scale - c.GetX(),
                   y = (pt.GetY() - r.dy) / r.scale - c.GetY();
      const double u = (x * ax.GetX() + y * ax.GetY()) / a, v = (y * ax.GetX() - x * ax.GetY()) / a;
      EXPECT_NEAR(u * u / (a * a) + v * v / (b * b), 1.0, 1e-12);
    }
    EXPECT_TRUE(r.arc.GetSweep() > 0 || q.size() < 2 ||
                q[1].GetY() < q[0].GetY());  // clockwise: down
  }
}

// Entity lists written as records (40 move, 41 line, 42 arc piece, 466 dot) from a pen,
// worked by hand. Arcs here have radius 2 about the origin unless stated.
TEST(StreamEncoding, RecordsOfEntityLists) {
  auto arc = [](double sweep) { return new CQELEllipticalArc(P(0, 0), 2.0, 0.0, sweep); };
  struct Row {
    std::vector<CQELEntity*> items;
    Pts pens;  // the pen before and after
    std::vector<double> want;
  } const rows[] = {
      {// lines move only when detached
       {new CQELLine(P(1, 1), P(4, 5)), new CQELLine(P(4, 5), P(4, 0)),
        new CQELLine(P(0, 0), P(-1, 0))},
       {P(0, 0), P(-1, 0)},
       {40, 1, 1, 41, 3, 4, 41, 0, -5, 40, -4, 0, 41, -1, 0}},
      {{Poly({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 1)},
       {P(0, 0), P(0, 0)},
       {41, 1, 0, 41, 0, 1, 41, -1, 0, 41, 0, -1}},
      {// an empty polyline writes nothing; 1e-11 away is no move
       {Poly({{2, 0}, {3, 0}, {3, 2}}, 0), Poly({}, 1), Poly({{3, 2 + 1e-11}, {5, 2}}, 0)},
       {P(0, 0), P(5, 2)},
       {40, 2, 0, 41, 1, 0, 41, 0, 2, 41, 2, -1e-11}},
      {// the radius is the axis point's x, not its length
       {new CQELEllipticalArc(P(1, 1), P(3, 4), 1.0, 0.0, kPi / 2)},
       {P(0, 0), P(1, 4)},
       {40, 4, 1, 42, -3, 3, -3, 0}},
      {{new CQELLine(P(0, 0), P(1, 0)), nullptr, new CQELPolyDraw(), Poly({{1, 0}, {1, 1}}, 0),
        new CQELD3Bezier(), new CQELDot(P(3, 1)),
        new CQELEllipticalArc(P(3, 0), 1.0, kPi / 2, -kPi / 2), new CQELLine(P(4, 0), P(5, 0))},
       {P(0, 0), P(5, 0)},
       {41, 1, 0, 41, 0, 1, 466, 2, 0, 42, 1, -1, 0, -1, 41, 1, 0}},
      {{arc(kPi / 2 + 5e-8)},
       {P(2, 0), P(0, 2)},
       {42, -2, 2, -2, 0}},  // a remainder below 1e-7 folds away
      {{arc(-5 * kPi / 2)}, {P(2, 0), P(0, -2)}, {42, -2, -2, -2, 0,  42, -2, 2,  0,  2,  42, 2, 2,
                                                  2,  0,  42, 2,  -2, 0,  -2, 42, -2, -2, -2, 0}},
      {{arc(0.0), arc(1e-8), arc(kNaN), arc(-kInf), arc(1e300)}, {P(2, 0), P(2, 0)}, {}},
  };
  for (const Row& r : rows) {
    EntityList list{r.items};
    P pen = r.pens[0];
    RecordStream stream;
    EncodeEntities(list.items, stream, pen);
    const std::vector<double> got = stream.Flat();
    ASSERT_EQ(got.size(), r.want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], r.want[i], 1e-9) << i;
    ExpectPoints({pen}, {r.pens[1]}, 1e-9);
  }
}

TEST(Numbers, IsNearRoundToIntegerAndNarrowing) {
  EXPECT_TRUE(IsNear(1.0, 1.001, 0.001));
  EXPECT_FALSE(IsNear(1.0, 1.0011, 0.001));
  EXPECT_TRUE(IsNear(-3.0, -3.0, 0.0));
  const std::pair<double, int> rounded[] = {
      {-2.5, -3}, {2.5, 3}, {2.4999, 2}, {-0.4, 0}, {1e300, INT_MAX}, {-1e300, INT_MIN}, {kNaN, 0}};
  for (auto [v, want] : rounded) EXPECT_EQ(RoundToInteger(v), want) << v;
  // Narrowing keeps the low byte and always terminates within the buffer.
  const unsigned short wide[] = {'A', 'b', 0x0141, ' ', 0x00E9, 0};
  char buffer[8], small[3];
  WideToNarrow(wide, buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer), "Ab\x41 \xE9");
  WideToNarrow(wide, small, sizeof small);
  EXPECT_EQ(std::string(small), "Ab");
  WideToNarrow(nullptr, buffer, sizeof buffer);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(WideToNarrow(wide), "Ab\x41 \xE9");
}

// Non-finite and degenerate values never crash, loop or write out of bounds; they are refused.
TEST(HostileInput, NonFiniteValuesAreRefusedSafely) {
  const double bad[4] = {kNaN, kInf, -kInf, kNaN};
  double x = 1, y = 1;
  std::unique_ptr<CQELEllipticalArc> arc(ArcRecordToArc(bad, x, y));
  EXPECT_EQ(arc->GetSweep(), 0.0);
  CQELPolyLine polyline;
  AppendArcRecord(bad, x, y, &polyline);
  EXPECT_TRUE(polyline.GetPoints().empty());
  std::unique_ptr<CQELPolyLine> ring(Poly({{0, 1}, {kInf, 1}, {kNaN, 1}, {1, 1}, {2, 1}}));
  EXPECT_EQ(PolyLineToCircle(ring.get()), nullptr);
  P min(0, 0), max(0, 0);
  CQELEllipticalArc wild(P(0, 0), P(kNaN, 1), 1.0, -kInf, kInf);
  GrowBoundingBox(min, max, &wild);
  QuarterArcBox(0, 0, 0, 0, max, min);
  ExpectPoints({min, max}, {P(0, 0), P(0, 0)});
}

}  // namespace
