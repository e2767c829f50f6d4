// Entities, boxes, quadratic pieces, arc flattening, stream records and numeric helpers:
// hand-worked rows, one check per table.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <random>

#include "QELUtility.h"

namespace {

constexpr double kPi = std::numbers::pi;
using Pts = std::vector<NURBSPoint>;

void ExpectPoints(const Pts& got, const Pts& want, double tol = 1e-12) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i].GetX(), want[i].GetX(), tol) << i;
    EXPECT_NEAR(got[i].GetY(), want[i].GetY(), tol) << i;
    EXPECT_NEAR(got[i].GetWeight(), want[i].GetWeight(), tol) << i;
  }
}

// The defining points of an entity, as its class stores them (an arc: centre, axis point and
// (start, sweep)).
Pts PointsOf(const CQELEntity& e) {
  switch (e.GetType()) {
    case CQELEntity::kLine:
      return {static_cast<const CQELLine&>(e).GetStartPoint(),
              static_cast<const CQELLine&>(e).GetEndPoint()};
    case CQELEntity::kEllipticalArc: {
      const auto& a = static_cast<const CQELEllipticalArc&>(e);
      return {a.GetCenter(), a.GetAxisPoint(), NURBSPoint(a.GetStartAngle(), a.GetSweep())};
    }
    case CQELEntity::kPolyLine:
      return Pts(static_cast<const CQELPolyLine&>(e).GetPoints().begin(),
                 static_cast<const CQELPolyLine&>(e).GetPoints().end());
    case CQELEntity::kPolyDraw:
      return Pts(static_cast<const CQELPolyDraw&>(e).GetPoints().begin(),
                 static_cast<const CQELPolyDraw&>(e).GetPoints().end());
    case CQELEntity::kD3Bezier:
      return Pts(static_cast<const CQELD3Bezier&>(e).GetControlPoints().begin(),
                 static_cast<const CQELD3Bezier&>(e).GetControlPoints().end());
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

// Transforms apply to the points a class has; arcs move only their centre, polydraws and
// pieces only rotate. Rows chain operations (s scale, r rotate, t affine, b bilinear) by hand.
TEST(EntityTransforms, EachClassAppliesWhatItHas) {
  struct Op {
    char kind;
    std::array<double, 8> v;
  };
  struct Row {
    const char* name;
    CQELEntity* e;
    std::vector<Op> ops;
    Pts want;
  };
  auto* piece = new CQELD3Bezier();
  piece->GetControlPoints()[3] = NURBSPoint(0, 1, 2.0);
  const Row rows[] = {
      {"line",
       new CQELLine(NURBSPoint(1, 1), NURBSPoint(2, -1)),
       {{'s', {2, 3}}},
       {NURBSPoint(2, 3), NURBSPoint(4, -3)}},
      {"line, x += x y",
       new CQELLine(NURBSPoint(2, 3), NURBSPoint(4, -3)),
       {{'t', {1, 0, 0, 1, -2, -3}}, {'b', {1, 0, 0, 1, 1, 0, 0, 0}}},
       {NURBSPoint(0, 0), NURBSPoint(-10, -6)}},
      {"dot",
       new CQELDot(NURBSPoint(1, 0)),
       {{'r', {kPi / 2}}, {'s', {3, 5}}, {'t', {0, 1, 1, 0, 1, 1}}},
       {NURBSPoint(6, 1)}},
      {"circle scales only uniformly",
       new CQELEllipticalArc(NURBSPoint(1, 2), 3.0, 0.5, 1.0),
       {{'s', {2, 3}}, {'s', {2, 2}}},
       {NURBSPoint(2, 4), NURBSPoint(6, 0), NURBSPoint(0.5, 1.0)}},
      {"ellipse",
       new CQELEllipticalArc(NURBSPoint(1, 2), NURBSPoint(3, 0), 0.5, 0.0, 1.0),
       {{'s', {2, 2}}},
       {NURBSPoint(1, 2), NURBSPoint(3, 0), NURBSPoint(0, 1)}},
      {"arc",
       new CQELEllipticalArc(NURBSPoint(1, -2), 3.0, 0.25, 2.0),
       {{'t', {2, 0, 0, 2, 5, 5}}, {'b', {2, 0, 0, 2, 1, 1, 9, 9}}, {'r', {kPi / 2}}},
       {NURBSPoint(-1, 7), NURBSPoint(0, 3), NURBSPoint(0.25, 2.0)}},
      {"polydraw",
       Draw({{1, 0, 0}, {0, 2, 2}}),
       {{'s', {5, 5}},
        {'t', {1, 0, 0, 1, 10, 10}},
        {'b', {1, 0, 0, 1, 1, 1, 1, 1}},
        {'r', {kPi / 2}}},
       {NURBSPoint(0, 1), NURBSPoint(-2, 0)}},
      {"piece",
       piece,
       {{'s', {3, 3}}, {'t', {1, 0, 0, 1, 4, 4}}, {'r', {-kPi / 2}}},
       {NURBSPoint(), NURBSPoint(), NURBSPoint(), NURBSPoint(1, 0, 2.0)}},
      {"polyline",
       Poly({{0, 0}, {2, 0}, {2, 1}}),
       {{'t', {1, 0, 0, 1, 3, -4}}, {'r', {kPi}}, {'s', {2, -1}}},
       {NURBSPoint(-6, -4), NURBSPoint(-10, -4), NURBSPoint(-10, -3)}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::unique_ptr<CQELEntity> e(r.e);
    for (const auto& [kind, v] : r.ops) {
      if (kind == 's') e->Scale(v[0], v[1]);
      if (kind == 'r') e->Rotate(v[0]);
      if (kind == 't') e->Transform(v[0], v[1], v[2], v[3], v[4], v[5]);
      if (kind == 'b') e->TransformBilinear(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7]);
    }
    ExpectPoints(PointsOf(*e), r.want);
    // Clones are deep copies (arcs drop their weights); polydraws and pieces have none.
    std::unique_ptr<CQELEntity> copy(static_cast<const CQELEntity&>(*e).Clone());
    const int type = e->GetType();
    if (type == CQELEntity::kPolyDraw || type == CQELEntity::kD3Bezier) {
      EXPECT_EQ(copy, nullptr);
      continue;
    }
    ASSERT_NE(copy, nullptr);
    ExpectPoints(PointsOf(*copy), r.want);
    copy->Transform(1, 0, 0, 1, 10, 10);
    ExpectPoints(PointsOf(*e), r.want);
  }
  std::vector<CQELEntity*> list{new CQELLine(), Poly({{1, 1}}), new CQELEllipticalArc(), nullptr,
                                new CQELDot(),  Draw({}),       new CQELD3Bezier()};
  DeleteEntities(list);  // the sanitizer build's leak checker watches this
  EXPECT_TRUE(list.empty());
}

TEST(PolyLine, CloseIfEndsMeet) {
  struct Row {
    CQELPolyLine* p;
    int closed;
    size_t size;
  };
  const Row rows[] = {{Poly({{10, 0}, {5, 5}, {10.0005, 0}}, 0), 1, 2},
                      {Poly({{10, 0}, {5, 5}, {10.002, 0}}, 0), 0, 3},
                      {Poly({{1, 1}}, 0), 1, 0},
                      {Poly({}, 0), 0, 0}};
  for (const Row& r : rows) {
    std::unique_ptr<CQELPolyLine> p(r.p);
    CloseIfEndsMeet(p.get());
    EXPECT_EQ(p->GetClosed(), r.closed);
    EXPECT_EQ(p->GetPoints().size(), r.size);
  }
  CloseIfEndsMeet(nullptr);
}

// Point arrays are recycled between polylines: interleaved creation, cloning and destruction
// must never let two live polylines share storage.
TEST(PolyLine, RecycledPointStorageStaysPrivate) {
  std::mt19937 rng(99);
  struct Tagged {
    double tag;
    size_t count;
    std::unique_ptr<CQELPolyLine> p;
    bool Intact() const {
      const auto& q = p->GetPoints();
      if (q.size() != count) return false;
      for (size_t k = 0; k < q.size(); ++k) {
        if (q[k] != NURBSPoint(tag, static_cast<double>(k), 2.0)) return false;
      }
      return true;
    }
  };
  std::vector<Tagged> live;
  for (int round = 0; round < 2000; ++round) {
    auto p = std::make_unique<CQELPolyLine>();
    const size_t count = rng() % 901;
    for (size_t k = 0; k < count; ++k) p->AddPoint(round, static_cast<double>(k), 2.0);
    std::unique_ptr<CQELPolyLine> copy(p->Clone());
    live.push_back({double(round), count, std::move(p)});
    live.push_back({double(round), count, std::move(copy)});
    if (live.size() > 40) live.erase(live.begin() + static_cast<long>(rng() % live.size()));
    if (round % 97 == 0) {
      for (const Tagged& t : live) ASSERT_TRUE(t.Intact()) << round;
    }
  }
}

// Boxes grown over entity lists; arcs reach their extremes, other codes are passed over.
TEST(BoundingBox, EntityListsAndArcs) {
  const double h = std::sqrt(0.5), th = kPi / 6, a = 5, b = 2;
  const double hw = std::hypot(a * std::cos(th), b * std::sin(th));
  const double hh = std::hypot(a * std::sin(th), b * std::cos(th));
  struct Row {
    std::vector<CQELEntity*> items;
    std::array<double, 4> box;  // min x, min y, max x, max y
  };
  const Row rows[] = {
      {{Poly({{1, 1}, {5, -3}, {2, 7}})}, {1, -3, 5, 7}},
      {{new CQELLine(NURBSPoint(3, -1), NURBSPoint(-2, 4)), new CQELDot(NURBSPoint(10, 0)), nullptr,
        Draw({{100, 100, 1}}), new CQELD3Bezier()},
       {-2, -1, 10, 4}},
      {{new CQELEllipticalArc(NURBSPoint(), 1.0, -kPi / 4, kPi / 2)}, {h, -h, 1, h}},
      {{new CQELEllipticalArc(NURBSPoint(), 1.0, kPi / 4, -kPi / 2)}, {h, -h, 1, h}},
      {{new CQELEllipticalArc(NURBSPoint(), 2.0, kPi, -kPi)}, {-2, 0, 2, 2}},
      {{new CQELEllipticalArc(NURBSPoint(1, 1), 2.0, 0.3, 2 * kPi)}, {-1, -1, 3, 3}},
      {{new CQELEllipticalArc(NURBSPoint(), 1.0, 0.1, 0.2)},
       {std::cos(0.3), std::sin(0.1), std::cos(0.1), std::sin(0.3)}},
      {{new CQELEllipticalArc(NURBSPoint(), 1.0, -4 * kPi - kPi / 4, kPi / 2)}, {h, -h, 1, h}},
      {{new CQELEllipticalArc(NURBSPoint(10, 20), NURBSPoint(a * std::cos(th), a * std::sin(th)),
                              b / a, 1.0, 2 * kPi)},
       {10 - hw, 20 - hh, 10 + hw, 20 + hh}},
  };
  for (const Row& r : rows) {
    std::vector<CQELEntity*> list = r.items;
    NURBSPoint min(1e300, 1e300), max(-1e300, -1e300);
    for (const CQELEntity* e : list) GrowBoundingBox(min, max, e);
    DeleteEntities(list);
    ExpectPoints({min, max}, {NURBSPoint(r.box[0], r.box[1]), NURBSPoint(r.box[2], r.box[3])},
                 1e-9);
  }
  // A partial rotated ellipse against dense sampling of its parameter range.
  for (double start : {-2.0, 0.4, 3.9}) {
    for (double sweep : {1.7, -2.9, 4.4}) {
      const double c = std::cos(2.0), s = std::sin(2.0), ea = 3, eb = 1.2;
      CQELEllipticalArc arc(NURBSPoint(-1, 2), NURBSPoint(ea * c, ea * s), eb / ea, start, sweep);
      NURBSPoint min(1e300, 1e300), max(-1e300, -1e300), smin = min, smax = max;
      GrowBoundingBox(min, max, &arc);
      for (int i = 0; i <= 200000; ++i) {
        const double u = start + sweep * i / 200000;
        const double x = -1 + ea * std::cos(u) * c - eb * std::sin(u) * s;
        const double y = 2 + ea * std::cos(u) * s + eb * std::sin(u) * c;
        smin = NURBSPoint(std::fmin(smin.GetX(), x), std::fmin(smin.GetY(), y));
        smax = NURBSPoint(std::fmax(smax.GetX(), x), std::fmax(smax.GetY(), y));
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
      {-1, 0, 0, -1, -1, -1, 0, 0},
      {0, -2, 2, 0, 0, -2, 2, 0},
      {0, -1, -1, 0, -1, -1, 0, 0},  // clockwise from the negative y axis
      {0, 1, 1, 0, 0, 0, 1, 1},
      {-0.6, 0.8, -0.8, 0.6, -0.8, 0.6, -0.6, 0.8},
      {c, -s, c, s, c, -s, 1, s},
      {c, s, c, -s, c, -s, 1, s},
      {s, c, -s, c, -s, c, s, 1},
      {-c, s, -c, -s, -1, -s, -c, s},
      {-s, -c, s, -c, -s, -1, s, -c},
      {3 * s, -3 * c, -3 * s, -3 * c, -3 * s, -3, 3 * s, -3 * c},
  };
  for (const auto& r : rows) {
    NURBSPoint max, min;
    QuarterArcBox(r[0], r[1], r[2], r[3], max, min);
    SCOPED_TRACE(testing::Message()
                 << "S (" << r[0] << ", " << r[1] << ") E (" << r[2] << ", " << r[3] << ")");
    ExpectPoints({min, max}, {NURBSPoint(r[4], r[5]), NURBSPoint(r[6], r[7])});
  }
}

CQELPolyLine* Polygon(double cx, double cy, double r, int n, double a0, double dir, bool ring) {
  auto* p = new CQELPolyLine();
  for (int k = 0; k <= n; ++k) {
    const double a = a0 + dir * 2 * kPi * (k % n) / n;
    if (k < n || ring) p->AddPoint(cx + r * std::cos(a), cy + r * std::sin(a));
  }
  return p;
}

// Polylines recognised as circles: centre, radius, start and sweep; near circles are not.
TEST(PolyLineToCircle, RegularPolygonsAndNearCircles) {
  struct Row {
    CQELPolyLine* p;
    bool circle;
    double cx = 0, cy = 0, r = 0, start = 0, sweep = 0;
  };
  CQELPolyLine* ellipse = new CQELPolyLine();
  for (int k = 0; k < 16; ++k)
    ellipse->AddPoint(10 * std::cos(kPi * k / 8), 9.99 * std::sin(kPi * k / 8));
  CQELPolyLine* bumped = Polygon(0, 0, 5, 10, 0, 1, false);
  bumped->GetPoints()[5] = NURBSPoint(bumped->GetPoints()[5].GetX() * (1 + 1e-6),
                                      bumped->GetPoints()[5].GetY() * (1 + 1e-6));
  const Row rows[] = {
      {Polygon(0, 0, 5, 8, 0, 1, false), true, 0, 0, 5, 0, 7 * kPi / 4},
      {Polygon(0, 0, 5, 8, 0, -1, false), true, 0, 0, 5, 0, -7 * kPi / 4},
      {Polygon(100, -50, 3, 12, kPi / 6, 1, false), true, 100, -50, 3, kPi / 6, 11 * kPi / 6},
      {Polygon(1, 1, 2, 4, kPi / 4, -1, false), true, 1, 1, 2, kPi / 4, -3 * kPi / 2},
      {Polygon(2, 3, 4, 16, 0, 1, true), true, 2, 3, 4, 0, -2 * kPi},  // closed ring: a full turn
      {Polygon(2, 3, 4, 16, 0, -1, true), true, 2, 3, 4, 0, -2 * kPi},
      {Poly({{1, 0}, {0, 1}, {-1, 0}}), false},
      {ellipse, false},
      {bumped, false},
      {Poly({{0, 0}, {1, 2}, {2, 4}, {3, 6}, {4, 8}}), false},
      {Poly({{1, 0}, {1, 0}, {0, 1}, {-1, 0}}), false},
  };
  for (const Row& r : rows) {
    std::unique_ptr<CQELPolyLine> p(r.p);
    const size_t n = p->GetPoints().size();
    std::unique_ptr<CQELEllipticalArc> arc(PolyLineToCircle(p.get()));
    EXPECT_EQ(p->GetPoints().size(), n);
    ASSERT_EQ(arc != nullptr, r.circle) << r.cx << " " << r.r;
    if (!r.circle) continue;
    EXPECT_EQ(arc->GetRatio(), 1.0);
    ExpectPoints(PointsOf(*arc),
                 {NURBSPoint(r.cx, r.cy), NURBSPoint(r.r, 0), NURBSPoint(r.start, r.sweep)}, 1e-9);
  }
  EXPECT_EQ(PolyLineToCircle(nullptr), nullptr);
}

// Quadratic pieces raised to rational cubics: homogeneous control points, worked by hand.
TEST(QuadraticPieces, ElevationEvaluationAndFlattening) {
  CQELD3Bezier c;
  ElevateQuadratic(NURBSPoint(0, 0), NURBSPoint(3, 6), NURBSPoint(6, 0), c);
  ExpectPoints(Pts(c.GetControlPoints().begin(), c.GetControlPoints().end()),
               {NURBSPoint(0, 0), NURBSPoint(2, 4), NURBSPoint(4, 4), NURBSPoint(6, 0)});
  // w1 = 1 + 2/3, x1 = (4/3) / (5/3); w2 = 2 - 1/3, x2 = 2 / (5/3), y2 = (4/3) / (5/3).
  ElevateQuadratic(NURBSPoint(0, 0), NURBSPoint(1, 1, 2), NURBSPoint(2, 0), c);
  ExpectPoints(Pts(c.GetControlPoints().begin() + 1, c.GetControlPoints().begin() + 3),
               {NURBSPoint(0.8, 0.8, 5.0 / 3), NURBSPoint(1.2, 0.8, 5.0 / 3)});

  const NURBSPoint q[4] = {NURBSPoint(0, 0), NURBSPoint(1, 1, 2), NURBSPoint(2, 0),
                           NURBSPoint(9, 9)};
  ExpectPoints({EvaluateRationalBezier(q, 0.25, 1), EvaluateRationalBezier(q, 0.5, 2),
                EvaluateRationalBezier(q, 1.0, 3), EvaluateRationalBezier(q, 0.5, 0),
                EvaluateRationalBezier(q, 0.5, 4),
                EvaluateRationalBezier(std::span<const NURBSPoint>(q, 2), 0.5, 3)},
               {NURBSPoint(0.4, 0.4, 1.25), NURBSPoint(1, 2.0 / 3, 1.5), NURBSPoint(9, 9),
                NURBSPoint(), NURBSPoint(), NURBSPoint()});

  // Four points per piece at t = 1/4 .. 1; a piece of one point is two copies of it.
  struct Row {
    std::array<NURBSPoint, 4> c;
    Pts want;
  };
  const Row rows[] = {
      {{NURBSPoint(0, 0), NURBSPoint(2.0 / 3, 2.0 / 3), NURBSPoint(4.0 / 3, 2.0 / 3),
        NURBSPoint(2, 0)},
       {NURBSPoint(0.5, 0.375), NURBSPoint(1, 0.5), NURBSPoint(1.5, 0.375), NURBSPoint(2, 0)}},
      {{NURBSPoint(3, 4, 2), NURBSPoint(3, 4, 2), NURBSPoint(3, 4, 2), NURBSPoint(3, 4, 2)},
       {NURBSPoint(3, 4), NURBSPoint(3, 4)}},
      // First two equal, last two share only x: still a curve.
      {{NURBSPoint(0, 0), NURBSPoint(0, 0), NURBSPoint(1, 2), NURBSPoint(1, 5)},
       {NURBSPoint(0.15625, 0.359375), NURBSPoint(0.5, 1.375), NURBSPoint(0.84375, 2.953125),
        NURBSPoint(1, 5)}},
  };
  for (const Row& r : rows) {
    CQELD3Bezier piece;
    piece.GetControlPoints() = r.c;
    CQELPolyLine out;
    FlattenCubicPiece(piece, &out);
    ExpectPoints(Pts(out.GetPoints().begin(), out.GetPoints().end()), r.want);
  }
  FlattenCubicPiece(c, nullptr);
}

// Poly-draw contours (kinds 0 start, 1 line, 2 control, 3 closing) become polylines; two
// control points in a row imply the on-curve point between them; malformed runs stay in bounds.
TEST(PolyDrawConversion, ContoursBecomePolylinesAndMalformedRunsStayInBounds) {
  struct Row {
    CQELPolyDraw* draw;
    std::vector<Pts> want;  // every point of every contour
  };
  const Row rows[] = {
      {Draw({{0, 0, 0}, {10, 0, 1}, {20, 0, 0}, {30, 0, 1}, {30, 10, 1}}),
       {{NURBSPoint(0, 0), NURBSPoint(10, 0)},
        {NURBSPoint(20, 0), NURBSPoint(30, 0), NURBSPoint(30, 10)}}},
      {Draw({{0, 0, 0}, {0, 10, 2}, {10, 10, 2}, {10, 0, 3}}),
       {{NURBSPoint(0, 0), NURBSPoint(0.3125, 4.375), NURBSPoint(1.25, 7.5),
         NURBSPoint(2.8125, 9.375), NURBSPoint(5, 10), NURBSPoint(7.1875, 9.375),
         NURBSPoint(8.75, 7.5), NURBSPoint(9.6875, 4.375), NURBSPoint(10, 0)}}},
      {Draw({{5, 5, 1}, {0, 0, 0}, {1, 0, 7}, {1, 1, 2}, {2, 1, 2}}),
       {{NURBSPoint(0, 0), NURBSPoint(0.46875, 0.4375), NURBSPoint(0.875, 0.75),
         NURBSPoint(1.21875, 0.9375), NURBSPoint(1.5, 1)}}},
  };
  for (const Row& r : rows) {
    std::unique_ptr<CQELPolyDraw> draw(r.draw);
    const size_t n = draw->GetPoints().size();
    std::vector<CQELPolyLine*> raw = PolyDrawToPolyLines(draw.get());
    std::vector<std::unique_ptr<CQELPolyLine>> out(raw.begin(), raw.end());
    EXPECT_EQ(draw->GetPoints().size(), n);
    ASSERT_EQ(out.size(), r.want.size());
    for (size_t k = 0; k < out.size(); ++k) ExpectPoints(PointsOf(*out[k]), r.want[k]);
  }
  EXPECT_TRUE(PolyDrawToPolyLines(nullptr).empty());
}

// Arcs flattened at the single-precision five-degree step into equal parameter steps; every
// point lies on the (transformed) ellipse.
TEST(ArcFlattening, PointCountsEndsAndTheEllipse) {
  struct Row {
    CQELEllipticalArc arc;
    double scale, dx, dy;
    size_t count;
    NURBSPoint first = {}, last = {};
  };
  const Row rows[] = {
      {CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, 2 * kPi), 1, 0, 0, 74, NURBSPoint(1, 0),
       NURBSPoint(1, 0)},
      // Major radius 2 along +y, minor 1: ceil(1.5708 / 0.0872222) = 19 segments.
      {CQELEllipticalArc(NURBSPoint(1, 1), NURBSPoint(0, 2), 0.5, 0.0, kPi / 2), 1, 0, 0, 20,
       NURBSPoint(1, 3), NURBSPoint(0, 1)},
      {CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, -kPi), 2, 5, 5, 38, NURBSPoint(7, 5),
       NURBSPoint(3, 5)},
      {CQELEllipticalArc(NURBSPoint(1, 1), 2.0, kPi / 2, 0.0), 1, 0, 0, 1, NURBSPoint(1, 3),
       NURBSPoint(1, 3)},
      {CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, 1e300), 1, 0, 0, 0},
      {CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, std::nan("")), 1, 0, 0, 0},
  };
  for (const Row& r : rows) {
    std::unique_ptr<CQELPolyLine> p(r.arc.ToPolyLine(r.scale, 0, 0, r.scale, r.dx, r.dy));
    const auto& q = p->GetPoints();
    ASSERT_EQ(q.size(), r.count);
    if (q.empty()) continue;
    ExpectPoints({q.front(), q.back()}, {r.first, r.last});
    const NURBSPoint c = r.arc.GetCenter(), ax = r.arc.GetAxisPoint();
    const double a = std::hypot(ax.GetX(), ax.GetY()), b = a * r.arc.GetRatio();
    for (const NURBSPoint& pt : q) {
      const double x = (pt.GetX() - r.dx) / r.scale - c.GetX(),
                   y = (pt.GetY() - r.dy) / r.scale - c.GetY();
      const double u = (x * ax.GetX() + y * ax.GetY()) / a, v = (y * ax.GetX() - x * ax.GetY()) / a;
      EXPECT_NEAR(u * u / (a * a) + v * v / (b * b), 1.0, 1e-12);
    }
    if (r.arc.GetSweep() < 0) {
      EXPECT_LT(q[1].GetY(), r.first.GetY());  // clockwise: down first
    }
  }
  // x += x y: the middle point (of the 19 steps) moves by x y.
  const CQELEllipticalArc quarter(NURBSPoint(0, 0), 1.0, 0.0, kPi / 2);
  std::unique_ptr<CQELPolyLine> b(quarter.ToPolyLineBilinear(1, 0, 0, 1, 1, 0, 0, 0));
  const double t = kPi / 2 / 19 * 10;
  ExpectPoints({b->GetPoints()[10], b->GetPoints().back()},
               {NURBSPoint(std::cos(t) * (1 + std::sin(t)), std::sin(t)), NURBSPoint(0, 1)});
}

// Owns a list of entities for the duration of a test.
struct EntityList {
  std::vector<CQELEntity*> items;
  ~EntityList() { DeleteEntities(items); }
};

std::vector<double> Encode(const std::vector<CQELEntity*>& entities, NURBSPoint& pen) {
  std::vector<double> stream;
  EncodeEntities(entities, stream, pen);
  return stream;
}

// Entity lists written as records (40 move, 41 line, 42 arc piece, 466 dot) from a pen,
// worked by hand. Arcs here have radius 2 about the origin unless stated.
TEST(StreamEncoding, RecordsOfEntityLists) {
  const double h = std::sqrt(0.5);
  auto arc = [](double sweep) { return new CQELEllipticalArc(NURBSPoint(0, 0), 2.0, 0.0, sweep); };
  struct Row {
    std::vector<CQELEntity*> items;
    std::array<double, 4> pens;  // the pen before and after
    std::vector<double> want;
  };
  const Row rows[] = {
      {// lines move only when detached
       {new CQELLine(NURBSPoint(1, 1), NURBSPoint(4, 5)),
        new CQELLine(NURBSPoint(4, 5), NURBSPoint(4, 0)),
        new CQELLine(NURBSPoint(0, 0), NURBSPoint(-1, 0))},
       {0, 0, -1, 0},
       {40, 1, 1, 41, 3, 4, 41, 0, -5, 40, -4, 0, 41, -1, 0}},
      {{Poly({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 1)},
       {0, 0, 0, 0},
       {41, 1, 0, 41, 0, 1, 41, -1, 0, 41, 0, -1}},
      {// an empty polyline writes nothing; 1e-11 away is no move
       {Poly({{2, 0}, {3, 0}, {3, 2}}, 0), Poly({}, 1), Poly({{3, 2 + 1e-11}, {5, 2}}, 0)},
       {0, 0, 5, 2},
       {40, 2, 0, 41, 1, 0, 41, 0, 2, 41, 2, -1e-11}},
      {{new CQELDot(NURBSPoint(2, 3)), new CQELDot(NURBSPoint(2, 3)),
        new CQELDot(NURBSPoint(0, 1))},
       {1, 1, 0, 1},
       {466, 1, 2, 466, 0, 0, 466, -2, -2}},
      {{new CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, 2 * kPi)},
       {1, 0, 1, 0},
       {42, -1, 1, -1, 0, 42, -1, -1, 0, -1, 42, 1, -1, 1, 0, 42, 1, 1, 0, 1}},
      {// the radius is the axis point's x, not its length
       {new CQELEllipticalArc(NURBSPoint(1, 1), NURBSPoint(3, 4), 1.0, 0.0, kPi / 2)},
       {0, 0, 1, 4},
       {40, 4, 1, 42, -3, 3, -3, 0}},
      {{new CQELLine(NURBSPoint(0, 0), NURBSPoint(1, 0)), nullptr, new CQELPolyDraw(),
        Poly({{1, 0}, {1, 1}}, 0), new CQELD3Bezier(), new CQELDot(NURBSPoint(3, 1)),
        new CQELEllipticalArc(NURBSPoint(3, 0), 1.0, kPi / 2, -kPi / 2),
        new CQELLine(NURBSPoint(4, 0), NURBSPoint(5, 0))},
       {0, 0, 5, 0},
       {41, 1, 0, 41, 0, 1, 466, 2, 0, 42, 1, -1, 0, -1, 41, 1, 0}},
      {{arc(-kPi / 4)}, {2, 0, 2 * h, -2 * h}, {42, 2 * h - 2, -2 * h, -2, 0}},
      {{arc(kPi / 4)}, {2, 0, 2 * h, 2 * h}, {42, 2 * h - 2, 2 * h, -2, 0}},
      {{arc(3 * kPi / 4)}, {2, 0, -2 * h, 2 * h}, {42, -2, 2, -2, 0, 42, -2 * h, 2 * h - 2, 0, -2}},
      {{arc(-kPi / 2)}, {2, 0, 0, -2}, {42, -2, -2, -2, 0}},
      {{arc(kPi / 2 + 5e-8)},
       {2, 0, 0, 2},
       {42, -2, 2, -2, 0}},  // a remainder below 1e-7 folds away
      {{arc(-5 * kPi / 2)}, {2, 0, 0, -2}, {42, -2, -2, -2, 0,  42, -2, 2,  0,  2,  42, 2, 2,
                                            2,  0,  42, 2,  -2, 0,  -2, 42, -2, -2, -2, 0}},
      {{arc(0.0), arc(1e-8), arc(std::nan(""))}, {2, 0, 2, 0}, {}},
  };
  for (const Row& r : rows) {
    EntityList list;
    list.items = r.items;
    NURBSPoint pen(r.pens[0], r.pens[1]);
    const std::vector<double> got = Encode(list.items, pen);
    ASSERT_EQ(got.size(), r.want.size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], r.want[i], 1e-9) << i;
    ExpectPoints({pen}, {NURBSPoint(r.pens[2], r.pens[3])}, 1e-9);
  }
}

// Over random polylines, arcs, lines and dots: the offsets add up to the pen's travel, every arc
// piece turns by at most a quarter about a centre equidistant from its ends, and only the four
// record codes appear.
TEST(StreamEncoding, InvariantsOverRandomEntities) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> c(-1000, 1000), angle(-10, 10), radius(0.01, 500);
  for (int trial = 0; trial < 300; ++trial) {
    EntityList list;
    for (int e = 1 + rng() % 30; e > 0; --e) {
      const int kind = static_cast<int>(rng() % 4);
      CQELPolyLine* p = kind == 0 ? new CQELPolyLine() : nullptr;
      for (int k = p ? 1 + rng() % 30 : 0; k > 0; --k) p->AddPoint(c(rng), c(rng));
      list.items.push_back(
          kind == 0   ? static_cast<CQELEntity*>(p)
          : kind == 1 ? new CQELEllipticalArc(NURBSPoint(c(rng), c(rng)), radius(rng), angle(rng),
                                              angle(rng))
          : kind == 2 ? new CQELLine(NURBSPoint(c(rng), c(rng)), NURBSPoint(c(rng), c(rng)))
                      : static_cast<CQELEntity*>(new CQELDot(NURBSPoint(c(rng), c(rng)))));
    }
    const NURBSPoint start(c(rng), c(rng));
    NURBSPoint pen = start;
    const std::vector<double> s = Encode(list.items, pen);
    double sx = 0, sy = 0;
    for (size_t i = 0; i < s.size(); i += s[i] == 42 ? 5 : 3) {
      ASSERT_TRUE(s[i] == 40 || s[i] == 41 || s[i] == 42 || s[i] == 466) << s[i];
      ASSERT_LE(i + (s[i] == 42 ? 5 : 3), s.size());
      sx += s[i + 1];
      sy += s[i + 2];
      if (s[i] != 42) continue;
      // From the centre to the start (-cx, -cy) and to the end of the piece.
      const double ux = -s[i + 3], uy = -s[i + 4], vx = s[i + 1] + ux, vy = s[i + 2] + uy;
      EXPECT_NEAR(std::hypot(vx, vy), std::hypot(ux, uy), 1e-9 * (1 + std::hypot(ux, uy)));
      EXPECT_LE(std::fabs(std::atan2(ux * vy - uy * vx, ux * vx + uy * vy)), kPi / 2 + 1e-9);
    }
    EXPECT_NEAR(sx, pen.GetX() - start.GetX(), 1e-7);
    EXPECT_NEAR(sy, pen.GetY() - start.GetY(), 1e-7);
  }
}

// Direction codes against the signed angle between two vectors of equal length, in steps of 15
// degrees: counter-clockwise 2, clockwise 1, none 3, half turns undecided -1.
TEST(ArcDirection, AllQuadrantPairsAgreeWithTheSignedAngle) {
  auto at = [](int k) {  // exact zeros on the axes; opposite vectors exactly opposite
    const double a = kPi * (k % 12) / 12, sign = k < 12 ? 1 : -1;
    return std::pair{k % 12 == 6 ? 0.0 : sign * std::cos(a),
                     k % 12 == 0 ? 0.0 : sign * std::sin(a)};
  };
  for (int i = 0; i < 24; ++i) {
    for (int j = 0; j < 24; ++j) {
      const int steps = (j + 24 - i) % 24;
      const int want = steps == 0 ? 3 : steps < 12 ? 2 : steps > 12 ? 1 : -1;
      EXPECT_EQ(ArcDirection(at(i).first, at(i).second, at(j).first, at(j).second), want)
          << 15 * i << " to " << 15 * j;
    }
  }
  EXPECT_EQ(ArcDirection(0, 0, 0, 0), -1);
  EXPECT_EQ(ArcDirection(2, 3, 2, 3), 3);
}

// Arc records (end dx dy, centre cx cy relative to the start) read back: the centre slides along
// the chord onto its bisector; appended points step evenly.
TEST(ArcRecords, CentreSnapsAndPointsStepEvenly) {
  // From (10, 0) to (0, 10) about (-0.2, 0.1) off the true centre: onto y = x at (-0.05, -0.05).
  const double record[4] = {-10, 10, -10.2, 0.1};
  double x = 10, y = 0;
  std::unique_ptr<CQELEllipticalArc> arc(ArcRecordToArc(record, x, y));
  const double a0 = std::atan2(0.05, 10.05);
  ExpectPoints({NURBSPoint(x, y)}, {NURBSPoint(0, 10)});
  ExpectPoints(PointsOf(*arc), {NURBSPoint(-0.05, -0.05), NURBSPoint(std::sqrt(101.005), 0),
                                NURBSPoint(a0, kPi / 2 - 2 * a0)});
  // A quarter of the unit circle from (1, 0): ceil(18.009) = 19 points at steps of
  // (pi / 2) / (19 + 0.9999f), then the end point; clockwise ceil(-18.009) = -18, one fewer;
  // a half turn has no shorter way: nothing, but the current point moves.
  struct Row {
    double record[4];
    size_t count;
    double step;  // parameter step of the points on the arc
    NURBSPoint end;
  } rows[] = {{{-1, 1, -1, 0}, 20, (kPi / 2) / (19 + 0.9998999834060669), NURBSPoint(0, 1)},
              {{1, -1, 0, -1}, 19, -(kPi / 2) / (18 + 0.9998999834060669), NURBSPoint(1, 0)},
              {{-2, 0, -1, 0}, 0, 0, NURBSPoint(-1, 0)}};
  x = 1, y = 0;
  for (const Row& r : rows) {
    const double a = std::atan2(y - (y + r.record[3]), x - (x + r.record[2]));
    CQELPolyLine p;
    AppendArcRecord(r.record, x, y, &p);
    ASSERT_EQ(p.GetPoints().size(), r.count);
    for (size_t k = 0; k + 1 < r.count; ++k) {
      ExpectPoints({p.GetPoints()[k]},
                   {NURBSPoint(std::cos(a + (k + 1) * r.step), std::sin(a + (k + 1) * r.step))});
    }
    ExpectPoints({NURBSPoint(x, y)}, {r.end});
  }
}

TEST(Numbers, IsNearRoundToIntegerAndNarrowing) {
  EXPECT_TRUE(IsNear(1.0, 1.001, 0.001));
  EXPECT_FALSE(IsNear(1.0, 1.0011, 0.001));
  EXPECT_TRUE(IsNear(-3.0, -3.0, 0.0));
  const std::pair<double, int> rounded[] = {{-2.5, -3},       {2.5, 3},         {2.4999, 2},
                                            {-0.4, 0},        {1e300, INT_MAX}, {-1e300, INT_MIN},
                                            {std::nan(""), 0}};
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

// Non-finite and degenerate values never crash, loop or write out of bounds; the results are the
// refusals the functions have.
TEST(HostileInput, NonFiniteValuesAreRefusedSafely) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::nan("");
  const double bad[4] = {nan, inf, -inf, nan};
  double x = 1, y = 1;
  std::unique_ptr<CQELEllipticalArc> arc(ArcRecordToArc(bad, x, y));
  EXPECT_EQ(arc->GetSweep(), 0.0);
  CQELPolyLine polyline;
  AppendArcRecord(bad, x, y, &polyline);
  EXPECT_TRUE(polyline.GetPoints().empty());
  std::unique_ptr<CQELPolyLine> ring(Poly({{0, 1}, {inf, 1}, {nan, 1}, {1, 1}, {2, 1}}));
  EXPECT_EQ(PolyLineToCircle(ring.get()), nullptr);
  NURBSPoint min(0, 0), max(0, 0);
  CQELEllipticalArc wild(NURBSPoint(0, 0), NURBSPoint(nan, 1), 1.0, -inf, inf);
  GrowBoundingBox(min, max, &wild);
  QuarterArcBox(0, 0, 0, 0, max, min);
  ExpectPoints({min, max}, {NURBSPoint(0, 0), NURBSPoint(0, 0)});
  EntityList list;
  list.items = {new CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, -inf),
                new CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, 1e300)};
  NURBSPoint pen(0, 0);
  EXPECT_TRUE(Encode(list.items, pen).empty());
}

}  // namespace
