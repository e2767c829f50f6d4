// Coordinate-stream writers, arc directions, arc records and numeric helpers.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <string>

#include "QELUtility.h"

namespace {

constexpr double kPi = std::numbers::pi;

void ExpectStream(const std::vector<double>& actual, const std::vector<double>& expected,
                  double tolerance = 1e-12) {
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], tolerance) << "at index " << i;
  }
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

CQELPolyLine* MakePolyLine(std::initializer_list<std::pair<double, double>> points, int closed) {
  auto* polyline = new CQELPolyLine();
  for (const auto& [x, y] : points) polyline->AddPoint(x, y);
  polyline->SetClosed(closed);
  return polyline;
}

// Entity lists written as records (40 move, 41 line, 42 arc piece, 466 dot) from a pen,
// worked by hand. Arcs here have radius 2 about the origin unless stated.
TEST(StreamEncoding, RecordsOfEntityLists) {
  const double h = std::sqrt(0.5);
  auto arc = [](double sweep) { return new CQELEllipticalArc(NURBSPoint(0, 0), 2.0, 0.0, sweep); };
  struct Row {
    std::vector<CQELEntity*> items;
    NURBSPoint pen, end;
    std::vector<double> want;
  };
  const Row rows[] = {
      {// lines move only when detached
       {new CQELLine(NURBSPoint(1, 1), NURBSPoint(4, 5)),
        new CQELLine(NURBSPoint(4, 5), NURBSPoint(4, 0)),
        new CQELLine(NURBSPoint(0, 0), NURBSPoint(-1, 0))},
       NURBSPoint(0, 0),
       NURBSPoint(-1, 0),
       {40, 1, 1, 41, 3, 4, 41, 0, -5, 40, -4, 0, 41, -1, 0}},
      {{MakePolyLine({{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 1)},
       NURBSPoint(0, 0),
       NURBSPoint(0, 0),
       {41, 1, 0, 41, 0, 1, 41, -1, 0, 41, 0, -1}},
      {// an empty polyline writes nothing; 1e-11 away is no move
       {MakePolyLine({{2, 0}, {3, 0}, {3, 2}}, 0), MakePolyLine({}, 1),
        MakePolyLine({{3, 2 + 1e-11}, {5, 2}}, 0)},
       NURBSPoint(0, 0),
       NURBSPoint(5, 2),
       {40, 2, 0, 41, 1, 0, 41, 0, 2, 41, 2, -1e-11}},
      {{new CQELDot(NURBSPoint(2, 3)), new CQELDot(NURBSPoint(2, 3)),
        new CQELDot(NURBSPoint(0, 1))},
       NURBSPoint(1, 1),
       NURBSPoint(0, 1),
       {466, 1, 2, 466, 0, 0, 466, -2, -2}},
      {{new CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, 2 * kPi)},
       NURBSPoint(1, 0),
       NURBSPoint(1, 0),
       {42, -1, 1, -1, 0, 42, -1, -1, 0, -1, 42, 1, -1, 1, 0, 42, 1, 1, 0, 1}},
      {// the radius is the axis point's x, not its length
       {new CQELEllipticalArc(NURBSPoint(1, 1), NURBSPoint(3, 4), 1.0, 0.0, kPi / 2)},
       NURBSPoint(0, 0),
       NURBSPoint(1, 4),
       {40, 4, 1, 42, -3, 3, -3, 0}},
      {{new CQELLine(NURBSPoint(0, 0), NURBSPoint(1, 0)), nullptr, new CQELPolyDraw(),
        MakePolyLine({{1, 0}, {1, 1}}, 0), new CQELD3Bezier(), new CQELDot(NURBSPoint(3, 1)),
        new CQELEllipticalArc(NURBSPoint(3, 0), 1.0, kPi / 2, -kPi / 2),
        new CQELLine(NURBSPoint(4, 0), NURBSPoint(5, 0))},
       NURBSPoint(0, 0),
       NURBSPoint(5, 0),
       {41, 1, 0, 41, 0, 1, 466, 2, 0, 42, 1, -1, 0, -1, 41, 1, 0}},
      {{arc(-kPi / 4)},
       NURBSPoint(2, 0),
       NURBSPoint(2 * h, -2 * h),
       {42, 2 * h - 2, -2 * h, -2, 0}},
      {{arc(kPi / 4)}, NURBSPoint(2, 0), NURBSPoint(2 * h, 2 * h), {42, 2 * h - 2, 2 * h, -2, 0}},
      {{arc(3 * kPi / 4)},
       NURBSPoint(2, 0),
       NURBSPoint(-2 * h, 2 * h),
       {42, -2, 2, -2, 0, 42, -2 * h, 2 * h - 2, 0, -2}},
      {{arc(-kPi / 2)}, NURBSPoint(2, 0), NURBSPoint(0, -2), {42, -2, -2, -2, 0}},
      {{arc(kPi / 2 + 5e-8)},
       NURBSPoint(2, 0),
       NURBSPoint(0, 2),
       {42, -2, 2, -2, 0}},  // a remainder below 1e-7 folds away
      {{arc(-5 * kPi / 2)}, NURBSPoint(2, 0), NURBSPoint(0, -2), {42, -2, -2, -2, 0,  42, -2, 2, 0,
                                                                  2,  42, 2,  2,  2,  0,  42, 2, -2,
                                                                  0,  -2, 42, -2, -2, -2, 0}},
      {{arc(0.0), arc(1e-8), arc(std::nan(""))}, NURBSPoint(2, 0), NURBSPoint(2, 0), {}},
  };
  for (const Row& r : rows) {
    EntityList list;
    list.items = r.items;
    NURBSPoint pen = r.pen;
    ExpectStream(Encode(list.items, pen), r.want, 1e-9);
    EXPECT_NEAR(pen.GetX(), r.end.GetX(), 1e-9);
    EXPECT_NEAR(pen.GetY(), r.end.GetY(), 1e-9);
  }
}

// Over random closed polylines, arcs, lines and dots: the records' offsets add up to the pen's
// travel, every arc piece turns by at most a quarter about a centre equidistant from its ends,
// and only the four record codes appear.
TEST(StreamEncoding, InvariantsOverRandomEntities) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> coord(-1000, 1000);
  std::uniform_real_distribution<double> angle(-10, 10);
  std::uniform_real_distribution<double> radius(0.01, 500);
  std::uniform_int_distribution<int> kind(0, 3);
  std::uniform_int_distribution<int> count(1, 30);
  for (int trial = 0; trial < 300; ++trial) {
    EntityList list;
    const int entities = count(rng);
    for (int e = 0; e < entities; ++e) {
      switch (kind(rng)) {
        case 0: {
          auto* p = new CQELPolyLine();
          for (int k = count(rng); k > 0; --k) p->AddPoint(coord(rng), coord(rng));
          list.items.push_back(p);
          break;
        }
        case 1:
          list.items.push_back(new CQELEllipticalArc(NURBSPoint(coord(rng), coord(rng)),
                                                     radius(rng), angle(rng), angle(rng)));
          break;
        case 2:
          list.items.push_back(
              new CQELLine(NURBSPoint(coord(rng), coord(rng)), NURBSPoint(coord(rng), coord(rng))));
          break;
        default:
          list.items.push_back(new CQELDot(NURBSPoint(coord(rng), coord(rng))));
          break;
      }
    }
    const NURBSPoint start(coord(rng), coord(rng));
    NURBSPoint pen = start;
    const std::vector<double> stream = Encode(list.items, pen);
    double sx = 0;
    double sy = 0;
    std::size_t i = 0;
    while (i < stream.size()) {
      const double code = stream[i];
      if (code == 40 || code == 41 || code == 466) {
        ASSERT_LE(i + 3, stream.size());
        sx += stream[i + 1];
        sy += stream[i + 2];
        i += 3;
      } else {
        ASSERT_EQ(code, 42);
        ASSERT_LE(i + 5, stream.size());
        const double ex = stream[i + 1];
        const double ey = stream[i + 2];
        const double cx = stream[i + 3];
        const double cy = stream[i + 4];
        // Vectors from the centre to the start and to the end of the piece.
        const double ux = -cx, uy = -cy, vx = ex - cx, vy = ey - cy;
        const double r = std::hypot(ux, uy);
        EXPECT_NEAR(std::hypot(vx, vy), r, 1e-9 * (1 + r));
        const double turn = std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
        EXPECT_LE(std::fabs(turn), kPi / 2 + 1e-9);
        sx += ex;
        sy += ey;
        i += 5;
      }
    }
    EXPECT_NEAR(sx, pen.GetX() - start.GetX(), 1e-7);
    EXPECT_NEAR(sy, pen.GetY() - start.GetY(), 1e-7);
  }
}

// Direction codes against the signed angle between two vectors of equal length: positive turns
// are counter-clockwise (2), negative clockwise (1), none equal (3), half turns undecided (-1).
TEST(ArcDirection, AllQuadrantPairsAgreeWithTheSignedAngle) {
  std::vector<std::pair<double, double>> v;
  for (int k = 0; k < 12; ++k) {
    const double a = kPi * k / 12;  // 0 to 165 degrees in steps of 15
    const double x = k == 6 ? 0.0 : std::cos(a);
    const double y = k == 0 ? 0.0 : std::sin(a);
    v.emplace_back(x, y);
  }
  for (int k = 0; k < 12; ++k) v.emplace_back(-v[k].first, -v[k].second);
  for (std::size_t i = 0; i < v.size(); ++i) {
    for (std::size_t j = 0; j < v.size(); ++j) {
      const int steps = static_cast<int>((j + 24 - i) % 24);  // 15-degree steps from i to j
      int expected = -1;
      if (steps == 0)
        expected = 3;
      else if (steps < 12)
        expected = 2;
      else if (steps > 12)
        expected = 1;
      EXPECT_EQ(ArcDirection(v[i].first, v[i].second, v[j].first, v[j].second), expected)
          << "from " << 15 * i << " to " << 15 * j << " degrees";
    }
  }
  EXPECT_EQ(ArcDirection(0, 0, 0, 0), -1);
  EXPECT_EQ(ArcDirection(2, 3, 2, 3), 3);
}

TEST(ArcRecords, CentreIsSnappedOntoTheBisector) {
  // From (10, 0) to (0, 10) about a centre given as (-0.2, 0.1) off the true one: the centre
  // slides along the chord direction onto the bisector y = x, to (-0.05, -0.05).
  const double record[4] = {-10, 10, -10.2, 0.1};
  double x = 10;
  double y = 0;
  std::unique_ptr<CQELEllipticalArc> arc(ArcRecordToArc(record, x, y));
  EXPECT_EQ(x, 0.0);
  EXPECT_EQ(y, 10.0);
  EXPECT_NEAR(arc->GetCenter().GetX(), -0.05, 1e-12);
  EXPECT_NEAR(arc->GetCenter().GetY(), -0.05, 1e-12);
  EXPECT_NEAR(arc->GetAxisPoint().GetX(), std::sqrt(101.005), 1e-12);
  const double a0 = std::atan2(0.05, 10.05);
  EXPECT_NEAR(arc->GetStartAngle(), a0, 1e-12);
  EXPECT_NEAR(arc->GetSweep(), kPi / 2 - 2 * a0, 1e-12);
}

TEST(ArcRecords, AppendedPointsAndTheClockwiseCount) {
  // A quarter of the unit circle counter-clockwise from (1, 0): ceil(18.009) = 19 points on the
  // arc at steps of (pi/2) / (19 + 0.9999f), then the end point.
  const double ccw[4] = {-1, 1, -1, 0};
  double x = 1;
  double y = 0;
  CQELPolyLine polyline;
  AppendArcRecord(ccw, x, y, &polyline);
  const auto& p = polyline.GetPoints();
  ASSERT_EQ(p.size(), 20u);
  const double delta = (kPi / 2) / (19 + 0.9998999834060669);
  for (int k = 1; k <= 19; ++k) {
    EXPECT_NEAR(p[k - 1].GetX(), std::cos(k * delta), 1e-12);
    EXPECT_NEAR(p[k - 1].GetY(), std::sin(k * delta), 1e-12);
  }
  EXPECT_EQ(p.back(), NURBSPoint(0, 1));
  EXPECT_EQ(x, 0.0);
  EXPECT_EQ(y, 1.0);

  // The same quarter clockwise: ceil(-18.009) = -18, one point fewer.
  const double cw[4] = {1, -1, 0, -1};
  CQELPolyLine back;
  AppendArcRecord(cw, x, y, &back);
  ASSERT_EQ(back.GetPoints().size(), 19u);
  EXPECT_NEAR(back.GetPoints()[0].GetX(), std::sin((kPi / 2) / 18.9999), 1e-6);
  EXPECT_EQ(x, 1.0);

  // A half turn has no shorter way: nothing is appended, the current point still moves.
  const double half[4] = {-2, 0, -1, 0};
  CQELPolyLine none;
  AppendArcRecord(half, x, y, &none);
  EXPECT_TRUE(none.GetPoints().empty());
  EXPECT_EQ(x, -1.0);
}

TEST(Numbers, IsNearRoundToIntegerAndNarrowing) {
  EXPECT_TRUE(IsNear(1.0, 1.001, 0.001));
  EXPECT_FALSE(IsNear(1.0, 1.0011, 0.001));
  EXPECT_TRUE(IsNear(-3.0, -3.0, 0.0));

  EXPECT_EQ(RoundToInteger(-2.5), -3);
  EXPECT_EQ(RoundToInteger(2.5), 3);
  EXPECT_EQ(RoundToInteger(2.4999), 2);
  EXPECT_EQ(RoundToInteger(-0.4), 0);
  EXPECT_EQ(RoundToInteger(1e300), INT_MAX);
  EXPECT_EQ(RoundToInteger(-1e300), INT_MIN);
  EXPECT_EQ(RoundToInteger(std::nan("")), 0);

  const unsigned short wide[] = {'A', 'b', 0x0141, ' ', 0x00E9, 0};
  char buffer[8];
  WideToNarrow(wide, buffer, sizeof buffer);
  EXPECT_EQ(std::string(buffer), std::string("Ab\x41 \xE9"));
  char small[3];
  WideToNarrow(wide, small, sizeof small);
  EXPECT_EQ(std::string(small), "Ab");
  WideToNarrow(nullptr, buffer, sizeof buffer);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(WideToNarrow(wide), std::string("Ab\x41 \xE9"));
}

// Non-finite and degenerate values never crash, loop or write out of bounds; results are the
// documented refusals.
TEST(HostileInput, NonFiniteValuesAreRefusedSafely) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::nan("");
  const double bad[4] = {nan, inf, -inf, nan};
  double x = 0;
  double y = 0;
  std::unique_ptr<CQELEllipticalArc> arc(ArcRecordToArc(bad, x, y));
  EXPECT_EQ(arc->GetSweep(), 0.0);
  CQELPolyLine polyline;
  x = 1;
  y = 1;
  AppendArcRecord(bad, x, y, &polyline);
  EXPECT_TRUE(polyline.GetPoints().empty());

  CQELPolyLine ring;
  for (double v : {0.0, inf, nan, 1.0, 2.0}) ring.AddPoint(v, 1.0);
  EXPECT_EQ(PolyLineToCircle(&ring), nullptr);

  NURBSPoint min(0, 0);
  NURBSPoint max(0, 0);
  CQELEllipticalArc wild(NURBSPoint(0, 0), NURBSPoint(nan, 1), 1.0, -inf, inf);
  GrowBoundingBox(min, max, &wild);
  EXPECT_EQ(min, NURBSPoint(0, 0));
  EXPECT_EQ(max, NURBSPoint(0, 0));
  QuarterArcBox(0, 0, 0, 0, max, min);
  EXPECT_EQ(max, NURBSPoint(0, 0));

  EntityList list;
  list.items = {new CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, -inf),
                new CQELEllipticalArc(NURBSPoint(0, 0), 1.0, 0.0, 1e300)};
  NURBSPoint pen(0, 0);
  EXPECT_TRUE(Encode(list.items, pen).empty());
}

}  // namespace
