// Entities, their boxes, quadratic pieces and arc flattening: hand-worked rows, one check per
// table.
#include <gtest/gtest.h>

#include <array>
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

// The defining points of an entity, as its class stores them.
Pts PointsOf(const CQELEntity& e) {
  switch (e.GetType()) {
    case CQELEntity::kLine: {
      const auto& l = static_cast<const CQELLine&>(e);
      return {l.GetStartPoint(), l.GetEndPoint()};
    }
    case CQELEntity::kEllipticalArc: {
      const auto& a = static_cast<const CQELEllipticalArc&>(e);
      return {a.GetCenter(), a.GetAxisPoint(), NURBSPoint(a.GetStartAngle(), a.GetSweep())};
    }
    case CQELEntity::kPolyLine: {
      const auto& p = static_cast<const CQELPolyLine&>(e).GetPoints();
      return Pts(p.begin(), p.end());
    }
    case CQELEntity::kPolyDraw: {
      Pts out;
      for (const PolyDrawPoint& p : static_cast<const CQELPolyDraw&>(e).GetPoints())
        out.push_back(p);
      return out;
    }
    case CQELEntity::kD3Bezier: {
      const auto& c = static_cast<const CQELD3Bezier&>(e).GetControlPoints();
      return Pts(c.begin(), c.end());
    }
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
// pieces only rotate. Rows chain the operations, worked by hand.
TEST(EntityTransforms, EachClassAppliesWhatItHas) {
  struct Row {
    const char* name;
    std::function<CQELEntity*()> make;
    std::function<void(CQELEntity&)> ops;
    Pts want;
  };
  const Row rows[] = {
      {"line",
       [] { return new CQELLine(NURBSPoint(1, 1), NURBSPoint(2, -1)); },
       [](CQELEntity& e) { e.Scale(2, 3); },
       {NURBSPoint(2, 3), NURBSPoint(4, -3)}},
      {"line moved, then x += x y",
       [] { return new CQELLine(NURBSPoint(2, 3), NURBSPoint(4, -3)); },
       [](CQELEntity& e) {
         e.Transform(1, 0, 0, 1, -2, -3);
         e.TransformBilinear(1, 0, 0, 1, 1, 0, 0, 0);
       },
       {NURBSPoint(0, 0), NURBSPoint(-10, -6)}},
      {"dot",
       [] { return new CQELDot(NURBSPoint(1, 0)); },
       [](CQELEntity& e) {
         e.Rotate(kPi / 2);
         e.Scale(3, 5);
         e.Transform(0, 1, 1, 0, 1, 1);
       },
       {NURBSPoint(6, 1)}},
      {"circle scales only uniformly",
       [] { return new CQELEllipticalArc(NURBSPoint(1, 2), 3.0, 0.5, 1.0); },
       [](CQELEntity& e) {
         e.Scale(2, 3);
         e.Scale(2, 2);
       },
       {NURBSPoint(2, 4), NURBSPoint(6, 0), NURBSPoint(0.5, 1.0)}},
      {"ellipse does not scale",
       [] { return new CQELEllipticalArc(NURBSPoint(1, 2), NURBSPoint(3, 0), 0.5, 0.0, 1.0); },
       [](CQELEntity& e) { e.Scale(2, 2); },
       {NURBSPoint(1, 2), NURBSPoint(3, 0), NURBSPoint(0, 1)}},
      {"arc moves its centre",
       [] { return new CQELEllipticalArc(NURBSPoint(1, -2), 3.0, 0.25, 2.0); },
       [](CQELEntity& e) {
         e.Transform(2, 0, 0, 2, 5, 5);
         e.TransformBilinear(2, 0, 0, 2, 1, 1, 9, 9);
         e.Rotate(kPi / 2);
       },
       {NURBSPoint(-1, 7), NURBSPoint(0, 3), NURBSPoint(0.25, 2.0)}},
      {"polydraw",
       [] {
         return Draw({{1, 0, 0}, {0, 2, 2}});
       },
       [](CQELEntity& e) {
         e.Scale(5, 5);
         e.Transform(1, 0, 0, 1, 10, 10);
         e.TransformBilinear(1, 0, 0, 1, 1, 1, 1, 1);
         e.Rotate(kPi / 2);
       },
       {NURBSPoint(0, 1), NURBSPoint(-2, 0)}},
      {"piece",
       [] {
         auto* b = new CQELD3Bezier();
         b->GetControlPoints()[3] = NURBSPoint(0, 1, 2.0);
         return b;
       },
       [](CQELEntity& e) {
         e.Scale(3, 3);
         e.Transform(1, 0, 0, 1, 4, 4);
         e.Rotate(-kPi / 2);
       },
       {NURBSPoint(), NURBSPoint(), NURBSPoint(), NURBSPoint(1, 0, 2.0)}},
      {"polyline",
       [] {
         return Poly({{0, 0}, {2, 0}, {2, 1}});
       },
       [](CQELEntity& e) {
         e.Transform(1, 0, 0, 1, 3, -4);
         e.Rotate(kPi);
         e.Scale(2, -1);
       },
       {NURBSPoint(-6, -4), NURBSPoint(-10, -4), NURBSPoint(-10, -3)}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.name);
    std::unique_ptr<CQELEntity> e(r.make());
    r.ops(*e);
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
    double x0, y0, x1, y1;
  };
  const Row rows[] = {
      {{Poly({{1, 1}, {5, -3}, {2, 7}})}, 1, -3, 5, 7},
      {{new CQELLine(NURBSPoint(3, -1), NURBSPoint(-2, 4)), new CQELDot(NURBSPoint(10, 0)), nullptr,
        Draw({{100, 100, 1}}), new CQELD3Bezier()},
       -2,
       -1,
       10,
       4},
      {{new CQELEllipticalArc(NURBSPoint(), 1.0, -kPi / 4, kPi / 2)}, h, -h, 1, h},
      {{new CQELEllipticalArc(NURBSPoint(), 1.0, kPi / 4, -kPi / 2)}, h, -h, 1, h},
      {{new CQELEllipticalArc(NURBSPoint(), 2.0, kPi, -kPi)}, -2, 0, 2, 2},
      {{new CQELEllipticalArc(NURBSPoint(1, 1), 2.0, 0.3, 2 * kPi)}, -1, -1, 3, 3},
      {{new CQELEllipticalArc(NURBSPoint(), 1.0, 0.1, 0.2)},
       std::cos(0.3),
       std::sin(0.1),
       std::cos(0.1),
       std::sin(0.3)},
      {{new CQELEllipticalArc(NURBSPoint(), 1.0, -4 * kPi - kPi / 4, kPi / 2)}, h, -h, 1, h},
      {{new CQELEllipticalArc(NURBSPoint(10, 20), NURBSPoint(a * std::cos(th), a * std::sin(th)),
                              b / a, 1.0, 2 * kPi)},
       10 - hw,
       20 - hh,
       10 + hw,
       20 + hh},
  };
  for (const Row& r : rows) {
    std::vector<CQELEntity*> list = r.items;
    NURBSPoint min(1e300, 1e300), max(-1e300, -1e300);
    for (const CQELEntity* e : list) GrowBoundingBox(min, max, e);
    DeleteEntities(list);
    EXPECT_NEAR(min.GetX(), r.x0, 1e-9);
    EXPECT_NEAR(min.GetY(), r.y0, 1e-9);
    EXPECT_NEAR(max.GetX(), r.x1, 1e-9);
    EXPECT_NEAR(max.GetY(), r.y1, 1e-9);
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

  // Raising the degree does not change the curve: position and combined weight agree.
  std::mt19937 rng(20240611);
  std::uniform_real_distribution<double> coord(-100, 100), weight(0.25, 4);
  for (int trial = 0; trial < 200; ++trial) {
    const NURBSPoint p[3] = {NURBSPoint(coord(rng), coord(rng), weight(rng)),
                             NURBSPoint(coord(rng), coord(rng), weight(rng)),
                             NURBSPoint(coord(rng), coord(rng), weight(rng))};
    ElevateQuadratic(p[0], p[1], p[2], c);
    for (double t = 0; t <= 1.0; t += 0.125) {
      ExpectPoints({EvaluateRationalBezier(c.GetControlPoints(), t, 3)},
                   {EvaluateRationalBezier(p, t, 2)}, 1e-9);
    }
  }
}

// Poly-draw contours (kinds 0 start, 1 line, 2 control, 3 closing) become polylines; two
// control points in a row imply the on-curve point between them; malformed runs stay in bounds.
TEST(PolyDrawConversion, ContoursBecomePolylines) {
  struct Row {
    CQELPolyDraw* draw;
    std::vector<Pts> want;  // every point of every contour
  };
  const Row rows[] = {
      {Draw({{0, 0, 0}, {10, 0, 1}, {10, 10, 2}, {0, 10, 3}, {20, 0, 0}, {30, 0, 1}, {30, 10, 1}}),
       {{NURBSPoint(0, 0), NURBSPoint(10, 0), NURBSPoint(9.375, 4.375), NURBSPoint(7.5, 7.5),
         NURBSPoint(4.375, 9.375), NURBSPoint(0, 10)},
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

}  // namespace
