// Hatching of hand-made regions (figures worked by hand) and of glyphs through the engine,
// checked against the input's border with a winding number worked here, not the library's.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "QELEntity.h"
#include "qelhatching/qelhatching.h"
#include "vuzodo/vuzodo.h"

namespace {

using Pt = std::pair<double, double>;
using Ring = std::vector<Pt>;
using Entities = std::vector<CQELEntity*>;
struct Seg {
  Pt a, b;
};
using Edges = std::vector<Seg>;
struct Poly {
  std::vector<Pt> points;
  bool closed = false;
};
struct Fill {
  Edges lines;
  std::vector<Poly> polys;
};
constexpr double kPi = std::numbers::pi, kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity(), kR2 = std::numbers::sqrt2;

// One exchange: the outline in (ownership passes), the fill and polylines out.
Fill Hatch(Entities outline) {
  AddCharacterOutline(&outline);
  std::vector<CQELPolyLine*>* polylines = nullptr;
  Fill f;
  for (const CQELEntity* e : *GetFilledEntityList(&polylines)) {
    EXPECT_EQ(e->GetType(), CQELEntity::kLine);
    const NURBSPoint a = static_cast<const CQELLine*>(e)->GetStartPoint(),
                     b = static_cast<const CQELLine*>(e)->GetEndPoint();
    f.lines.push_back({{a.GetX(), a.GetY()}, {b.GetX(), b.GetY()}});
  }
  for (const CQELPolyLine* p : *polylines) {
    f.polys.push_back({{}, p->GetClosed() == 1});
    for (const NURBSPoint& q : p->GetPoints())
      f.polys.back().points.push_back({q.GetX(), q.GetY()});
  }
  ClearEntityList();
  return f;
}

CQELPolyLine* Polygon(const Ring& ring, bool closed = true) {
  auto* p = new CQELPolyLine();
  for (const auto& [x, y] : ring) p->AddPoint(x, y);
  p->SetClosed(closed ? 1 : 0);
  return p;
}
Ring Rect(double x0, double y0, double x1, double y1, bool ccw = true) {
  if (!ccw) return {{x0, y1}, {x1, y1}, {x1, y0}, {x0, y0}};
  return {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}};
}
Ring Circle(double cx, double cy, double r, double turn = 1) {  // 1440 chords, 0.0012 off at 500
  Ring ring;
  for (double a = 0; a < 2 * kPi - 1e-9; a += kPi / 720) {
    ring.emplace_back(cx + r * std::cos(turn * a), cy + r * std::sin(turn * a));
  }
  return ring;
}
CQELLine* L(double x0, double y0, double x1, double y1) {
  return new CQELLine(NURBSPoint(x0, y0), NURBSPoint(x1, y1));
}
Edges Border(const std::vector<Ring>& rings) {
  Edges edges;
  for (const Ring& r : rings) {
    for (std::size_t i = 0; i < r.size(); ++i) edges.push_back({r[i], r[(i + 1) % r.size()]});
  }
  return edges;
}

const auto Length = [](const Pt& a, const Pt& b) {
  return std::hypot(b.first - a.first, b.second - a.second);
};
double Distance(const Pt& p, const Seg& s) {
  const auto [ax, ay] = s.a;
  const double ex = s.b.first - ax, ey = s.b.second - ay, len2 = ex * ex + ey * ey;
  const double t = len2 > 0 ? ((p.first - ax) * ex + (p.second - ay) * ey) / len2 : 0;
  return Length(p, {ax + std::clamp(t, 0.0, 1.0) * ex, ay + std::clamp(t, 0.0, 1.0) * ey});
}
// Distance to the border, positive where its nonzero winding is inside.
double Depth(const Edges& border, const Pt& p) {
  const auto [x, y] = p;
  int winding = 0;
  double d = kInf;
  for (const auto& [a, b] : border) {
    d = std::min(d, Distance(p, {a, b}));
    const double cross =
        (b.first - a.first) * (y - a.second) - (x - a.first) * (b.second - a.second);
    winding +=
        (a.second <= y && b.second > y && cross > 0) - (a.second > y && b.second <= y && cross < 0);
  }
  return winding != 0 ? d : -d;
}
// The least depth of the output, sampled 11 times along every segment and edge.
double LeastDepth(const Fill& f, const Edges& border) {
  double least = kInf;
  auto sample = [&](const Pt& a, const Pt& b) {
    for (double t = 0; t <= 1.01; t += 0.1) {
      const Pt p{a.first + t * (b.first - a.first), a.second + t * (b.second - a.second)};
      least = std::min(least, Depth(border, p));
    }
  };
  for (const Seg& s : f.lines) sample(s.a, s.b);
  for (const Poly& p : f.polys) {
    const std::size_t n = p.points.size();
    for (std::size_t i = 0; i + 1 < n + p.closed; ++i) sample(p.points[i], p.points[(i + 1) % n]);
  }
  return least;
}
double Area(const std::vector<Pt>& r) {
  double a = 0;
  for (std::size_t i = 0, j = r.size() - 1; i < r.size(); j = i++) {
    a += r[j].first * r[i].second - r[i].first * r[j].second;
  }
  return std::fabs(a / 2);
}

// A polyline: closed with that area, or open with that length (0: not
// measured), passing within 0.5 of `via` where given.
struct Want {
  bool closed;
  double size = 0;
  Pt via = {kNan, kNan};
};
constexpr bool C = true, O = false;
struct Grid {  // lines at `angle` through (bx, by) + k gap
  double angle = 0, gap = 0, bx = 0, by = 0;
};
// Each line starts nearest the last one's end, also running the other way
// (serpentine), or lines k mod N rise (passes, as the style's number).
enum Order { kFree, kNearest, kSerpentine, kTwoPasses = 4, kThreePasses };

struct Row {
  const char* what;
  std::vector<Ring> rings;  // the region, and the inside oracle
  std::function<void()> patterns;
  int lines = -1;                // fill segments (-1: any)
  std::vector<Want> polys = {};  // every polyline, in order
  double depth = 0;              // least distance inside the rings (the border gap)
  double ends = kInf;            // greatest depth of the line ends (they reach the gap)
  double length = 0;             // total length of the fill lines (0: not checked)
  double tol = 1;                // of length and sizes
  Grid grid = {};                // lines parallel to it lie on it (gap 0: not checked)
  int order = kFree;
  std::vector<double> families = {};          // directions (degrees) of the lines, in order
  std::function<Entities()> input = nullptr;  // else the rings as closed polylines
};

double Position(const Grid& g, const Pt& p) {  // in gaps along the grid's normal
  return (-std::sin(g.angle) * (p.first - g.bx) + std::cos(g.angle) * (p.second - g.by)) / g.gap;
}
double Direction(const Seg& s) {  // degrees, 0 to 180
  const double d = std::atan2(s.b.second - s.a.second, s.b.first - s.a.first) * 180 / kPi;
  return std::fmod(d + 360, 180);
}
const auto Parallel = [](double a, double b) {
  return std::fabs(std::remainder(a - b, 180)) < .05;
};

void Check(const Row& row) {
  SCOPED_TRACE(row.what);
  ClearListOfHatchPatterns();
  qelhatching::SetUnitSize(1000.0);
  row.patterns();
  Entities input = row.input ? row.input() : Entities{};
  for (const Ring& r : row.rings) {
    if (!row.input) input.push_back(Polygon(r));
  }
  const Fill f = Hatch(input);
  const Edges border = Border(row.rings);
  EXPECT_EQ(f.lines.size(), row.lines < 0 ? f.lines.size() : static_cast<std::size_t>(row.lines));
  ASSERT_EQ(f.polys.size(), row.polys.size());
  EXPECT_GE(LeastDepth(f, border), row.depth - .25);
  double length = 0;
  std::size_t family = 0;
  for (std::size_t i = 0; i < f.lines.size(); ++i) {
    const Seg& s = f.lines[i];
    length += Length(s.a, s.b);
    EXPECT_LE(std::max(Depth(border, s.a), Depth(border, s.b)), row.ends) << i;
    const double dir = Direction(s);
    const bool on_grid = row.grid.gap > 0 && Parallel(dir, row.grid.angle * 180 / kPi);
    for (const Pt& p : on_grid ? Ring{s.a, s.b} : Ring{}) {
      EXPECT_NEAR(Position(row.grid, p), std::round(Position(row.grid, p)), .01) << i;
    }
    while (family < row.families.size() && !Parallel(dir, row.families[family])) ++family;
    ASSERT_TRUE(row.families.empty() || family < row.families.size()) << i << " at " << dir;
    if (i == 0) continue;
    const Seg& last = f.lines[i - 1];
    const bool nearest = row.order == kNearest || row.order == kSerpentine;
    for (std::size_t j = i + 1; nearest && j < f.lines.size(); ++j) {
      EXPECT_LE(Length(last.b, s.a), Length(last.b, f.lines[j].a) + 0.5) << i << " before " << j;
    }
    const double turn = (last.b.first - last.a.first) * (s.b.first - s.a.first) +
                        (last.b.second - last.a.second) * (s.b.second - s.a.second);
    EXPECT_TRUE(row.order != kSerpentine || turn < 0) << i;
    const long n = row.order - 2;
    auto pass = [&](const Seg& t) { return ((std::lround(Position(row.grid, t.a)) % n) + n) % n; };
    EXPECT_TRUE(n < 2 || pass(last) <= pass(s)) << i;
  }
  EXPECT_NEAR(length, row.length > 0 ? row.length : length, row.tol);
  EXPECT_EQ(std::min(family + 1, row.families.size()), row.families.size()) << "a family missing";
  for (std::size_t i = 0; i < f.polys.size(); ++i) {
    const Poly& p = f.polys[i];
    const Want& w = row.polys[i];
    EXPECT_EQ(p.closed, w.closed) << i;
    double size = p.closed ? Area(p.points) : 0, near = kInf;
    for (std::size_t k = 0; k + 1 < p.points.size(); ++k) {
      size += p.closed ? 0 : Length(p.points[k], p.points[k + 1]);
      near = std::min(near, Distance(w.via, {p.points[k], p.points[k + 1]}));
    }
    EXPECT_NEAR(size, w.size > 0 ? w.size : size, row.tol) << i;
    EXPECT_LE(std::isnan(w.via.first) ? 0 : near, 0.5) << i;
  }
}

std::function<void()> Ln(float border, int dir, float gap, float angle, float bx, float by,
                         int style, bool offset = false) {
  return [=] {
    AddHatchPatternLine(border, static_cast<borderGapDirection>(dir), gap, angle, bx, by,
                        static_cast<hatchStyle>(style), offset ? EN_TRUE : EN_FALSE);
  };
}
std::function<void()> Opt(float max_link) {
  return
      [=] { AddHatchPatternOptimized(0, BORDER_GAP_INWARD, 100, 0, max_link, HATCH_SERPENTINE); };
}
std::function<void()> Helix(int style, bool connect) {
  return [=] {
    AddHatchPatternHelixFillingEx(100, static_cast<EN_HelixStyle>(style), EN_OFFSET_DIRECT,
                                  EN_CORNER_MITER, connect, 0, 0);
  };
}
std::function<void()> Corners(EN_OffsetCornerStyle corner) {  // grown by 100, marked
  return [=] {
    AddHatchPatternLineEx(100, BORDER_GAP_OUTWARD, 100, 0, 0, 50, HATCH_UNIDIRECTIONAL, EN_TRUE,
                          EN_OFFSET_CLEANUP, corner, 0, 1);
  };
}
const auto Sq = [](double x) { return x * x; };
// The square 1000 grown by d with round corners; chords lose up to 1 per 2 pi d.
const auto Rounded = [](double d) { return Sq(1000 + 2 * d) - (4 - kPi) * d * d - kPi * d; };

const auto kRows100 = Ln(0, 0, 100, 0, 0, 50, 0);  // y = 50 + 100k
const Ring kSquare = Rect(0, 0, 1000, 1000), kSliver = Rect(0, 0, 1000, 30);
const std::vector<Ring> kFrame = {Rect(0, 0, 1200, 1200), Rect(300, 300, 900, 900, false)};
// An arch (legs 0..300 and 700..1000 up to 750, bar 750..1050); a square with
// a notch from the right, 320..620.
const Ring kArch{{0, 1050},  {0, 50},   {300, 50},  {300, 750},
                 {700, 750}, {700, 50}, {1000, 50}, {1000, 1050}};
const Ring kNotched{{0, 50},    {1000, 50},  {1000, 320}, {500, 320},
                    {500, 620}, {1000, 620}, {1000, 950}, {0, 950}};
const double kBevel = Sq((kR2 - 1) * 100);  // off a corner grown by 100
// Rings of 3200..800 joined by three steps: corner to corner (100 sqrt 2)
// inwards, from 100 to 100 sqrt 2 outwards.
const double kSpiral = 8000 + 300 * kR2, kSpiralOut = 8000 + 150 * (1 + kR2);
const Grid kRowGrid{0, 100}, kSlanted{0.785f, 37, 7, 11};

// clang-format off
const Row kRows[] = {
    // Lines: rows y = 100k within 50..950 after the border gap, 900 long.
    {"border gap", {kSquare}, Ln(50, 0, 100, 0, 0, 0, 0), 9, {}, 50, 50.2, 8100, 1, kRowGrid, kNearest},
    {"slanted grid", {Rect(0, 0, 600, 900)}, Ln(0, 0, 37, 0.785f, 7, 11, 1), -1, {}, 0, .2, 0, 1,
     kSlanted, kSerpentine},
    // 4 rows in 2 pieces round the hole 300..700, 6 whole; nearest first takes the
    // next row's left piece before this row's right one.
    {"hole", {kSquare, Rect(300, 300, 700, 700, false)}, kRows100, 14, {}, 0, .2, 8400, 2,
     {0, 100, 0, 50}, kNearest},
    {"opposite windings cancel", {Rect(0, 0, 600, 600), Rect(400, 0, 1000, 600, false)}, kRows100,
     12, {}, 0, .2, 4800},
    {"three passes", {kSquare}, Ln(50, 0, 100, 0, 0, 0, 5), 9, {}, 50, 50.2, 8100, 1, kRowGrid, kThreePasses},
    {"double", {kSquare}, Ln(50, 0, 100, 0, 0, 0, 3), 18, {}, 50, 50.2, 16200, 1, kRowGrid, 0, {0, 90}},
    // Families at 0, 30, 60 degrees over 50..950: 9, 12 and 12 lines (k between
    // the corners' grid positions).
    {"incremental", {kSquare},
     [] { AddHatchPatternIncremental(50, BORDER_GAP_INWARD, 100, 0, kPi / 6, 3, HATCH_UNIDIRECTIONAL); },
     33, {}, 50, 50.2, 0, 1, {}, 0, {0, 30, 60}},
    // Rows y = 50 + 100k (10) and columns x = 50 + 200k (5).
    {"lattice", {kSquare}, [] { AddHatchPatternLattice(100, 200, 0, 50, 50, true); }, 15, {}, 0, .2,
     15000, 1, {0, 100, 50, 50}, 0, {0, 90}},
    // Grown by 100: rows y = 50 + 100k in -100..1100; the bevel's vertices on the 0.1 grid.
    {"miter", {kSquare}, Corners(EN_CORNER_MITER), 12, {{C, Sq(1200)}}, -100 * kR2, kInf, 0, 2},
    {"bevel", {kSquare}, Corners(EN_CORNER_BEVEL), 12, {{C, Sq(1200) - 4 * kBevel}}, -100 * kR2, kInf, 0, 50},
    {"round", {kSquare}, Corners(EN_CORNER_ROUND), 12, {{C, Rounded(100)}}, -100, kInf, 0, 320},
    // Connected: the arch's lowest row has two pieces, each starting a leg; the left
    // leg's top row ends 700 from the bar's entry.
    {"arch, connected", {kArch}, Ln(0, 0, 100, 0, 0, 0, 2), 0, {{O, 2700}, {O, 6000}}},
    // Rows 100..900 in one path, row 300 round the notch's corner to row 400; with
    // links of 2 gaps it breaks there and again above the notch.
    {"notch, long links", {kNotched}, Opt(600), 0, {{O, 0, {500, 320}}}},
    {"notch, short links", {kNotched}, Opt(0), 0, {{O}, {O}, {O}}},
    // Rings: a square shrunk by d (miter) is a square; at 500 it collapses into
    // its centre, which an open line marks.
    {"offset inside out", {kSquare}, [] { AddHatchPatternOffsetFillingEx(100, EN_OFFSET_INSIDE_OUT,
     EN_OFFSET_CLEANUP, EN_CORNER_MITER, 0, 0); }, 0,
     {{O, 0, {500, 500}}, {C, Sq(200)}, {C, Sq(400)}, {C, Sq(600)}, {C, Sq(800)}}, 100},
    {"in and out", {kSquare}, [] { AddHatchPatternOffsetInOut(100, 2, 50, 3); }, 0,
     {{C, Sq(800)}, {C, Sq(600)}, {C, Sq(1100)}, {C, Sq(1200)}, {C, Sq(1300)}}, -150 * kR2},
    {"none inside", {kSquare}, [] { AddHatchPatternOffsetInOut(100, -3, 50, 1); }, 0, {{C, Sq(1100)}}, -50 * kR2},
    {"helix outside in", {kSquare}, Helix(0, false), 0, {{O, kSpiral}, {O, 0, {500, 500}}}, 100},
    {"helix inside out", {kSquare}, Helix(1, false), 0, {{O, 0, {500, 500}}, {O, kSpiralOut}}, 100, kInf, 0, 63},
    // Outer and hole ring at 100 joined, the material used up at 200.
    {"helix, frame, connected", kFrame, Helix(0, true), 0, {{O}}, 100},
    // Region: an "O" of half arcs, flattened within 5/50 = 0.1 (5 degree steps
    // would be 0.48 off); rows y = 2.5 + 5k, the 120 with |y| < 300 split.
    {"O of arcs", {Circle(0, 0, 500), Circle(0, 0, 300, -1)}, Ln(0, 0, 5, 0, 0, 2.5f, 0), 320, {}, -.1,
     .25, 0, 1, {}, 0, {}, [] { const NURBSPoint c(0, 0);
       return Entities{new CQELEllipticalArc(c, 500, 0, kPi), new CQELEllipticalArc(c, 500, kPi, kPi),
                       new CQELEllipticalArc(c, 300, 0, -kPi), new CQELEllipticalArc(c, 300, -kPi, -kPi)}; }},
    // Stem rows y = 100..1000 of 200; the dot's rows 1300, 1400 chords 2 sqrt(100^2
    // - 50^2) within the chord error 1 at each end; a marked point is no region.
    {"i with a dot", {Rect(0, 50, 200, 1050), Circle(100, 1350, 100)}, Ln(0, 0, 100, 0, 0, 0, 0), 12, {},
     0, 1.2, 2000 + 4 * std::sqrt(7500.0), 5, {}, 0, {}, [] { return Entities{Polygon(Rect(0, 50, 200, 1050)),
       new CQELEllipticalArc(NURBSPoint(100, 1350), 100, 0, 2 * kPi), new CQELDot(NURBSPoint(100, 1600))}; }},
    {"ends 50 apart stay open", {kSquare}, kRows100, 0, {}, 0, kInf, 0, 1, {}, 0, {}, [] { return Entities{
       L(0, 0, 1000, 0), L(1000, 0, 1000, 1000), Polygon({{1000, 1000}, {0, 1000}, {0, 50}}, false),
       new CQELDot(NURBSPoint(10, 10))}; }},
    {"pieces shuffled, reversed, 0.5 apart", {kSquare}, kRows100, 10, {}, 0, .2, 10000, 2, {}, 0, {},
     [] { return Entities{L(0, 1000, 0, 0.5), L(1000, 1000, 1000, 0), L(0, 0, 1000, 0), L(0, 1000, 1000, 1000)}; }},
    {"sliver, one row", {kSliver}, Ln(0, 0, 100, 0, 0, 10, 0), 1, {}, 0, .2, 1000},
    // Gap 20 leaves nothing; rings at 5 and 10, then the walls are less than two
    // gaps apart and the centre line y = 15 marks the rest, once per pattern.
    {"sliver, rings", {kSliver}, [] { Ln(20, 0, 100, 0, 0, 10, 2, true)();
       AddHatchPatternOffsetFilling(5, EN_OFFSET_OUTSIDE_IN);
       AddHatchPatternHelixFillingEx(5, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT, EN_CORNER_ROUND, true, 0, 0); },
     0, {{C, 990 * 20}, {C, 980 * 10}, {O, 0, {500, 15}}, {O}, {O, 0, {500, 15}}}, 4.9, kInf, 0, 2},
    {"far off", {Rect(1e12, 1e12 + 50, 1e12 + 1000, 1e12 + 1050)}, Ln(0, 0, 100, 0, 0, 0, 0), 10, {}, 0,
     .2, 10000, 2, kRowGrid},
    {"coordinate not a number", {{{0, 0}, {1000, 0}, {kNan, 1000}}}, kRows100, 0},
    {"no outline", {}, kRows100, 0},
    {"unit size unusable", {Rect(0, 50, 1000, 1050)}, [] { qelhatching::SetUnitSize(-5);
       Ln(0, 0, 100, 0, 0, 0, 0)(); }, 10, {}, 0, .2, 10000, 2},
};
// clang-format on

TEST(Hatch, HandMadeRegionsGiveTheirHandWorkedFill) {
  for (const Row& row : kRows) Check(row);
  qelhatching::SetUnitSize(1000.0);
}

// Runaway requests give nothing, quickly, and the next pattern (rows 5e4 + 1e5 k
// over a 1e6 square: 10 lines) still fills. Bevelled outside rings double their
// vertices every level (found by the interface fuzzer: 102 ran for minutes).
std::function<void()> Then10(std::function<void()> first) {
  return [=] {
    first();
    AddHatchPatternLine(0, BORDER_GAP_INWARD, 1e5f, 0, 0, 5e4f, HATCH_UNIDIRECTIONAL, EN_FALSE);
  };
}
const Ring kMillion = Rect(0, 0, 1e6, 1e6);
// clang-format off
const Row kLimitRows[] = {
    {"3.3 million rows", {kMillion}, Then10(Ln(0, 0, 0.3f, 0, 0, 0, 0)), 10},
    {"ring levels", {kMillion}, Then10([] { AddHatchPatternOffsetFilling(0.3f, EN_OFFSET_OUTSIDE_IN); }), 10},
    {"100,000 passes", {kMillion}, Then10([] { AddHatchPatternIncremental(0, BORDER_GAP_INWARD, 1e5f, 0,
     0.1f, 100000, HATCH_UNIDIRECTIONAL); }), 10},
    {"outside rings", {kMillion}, Then10([] { AddHatchPatternOffsetInOut(0, 0, 1e5f, 2000000000); }), 10},
    {"base 1e30 away", {kMillion}, Then10(Ln(0, 0, 1e5f, 0, 0, 1e30f, 1)), 10},
    {"102 bevelled rings", {kMillion}, Then10([] { AddHatchPatternOffsetInOutEx(0, 0, 1e4f, 102,
     EN_OFFSET_DIRECT, EN_CORNER_BEVEL, 60, 0); }), 10},
    {"8 bevelled rings", {kMillion}, [] { AddHatchPatternOffsetInOutEx(0, 0, 1e4f, 8, EN_OFFSET_DIRECT,
     EN_CORNER_BEVEL, 60, 0); }, 0, {{C}, {C}, {C}, {C}, {C}, {C}, {C}, {C}}, -8e4 * kR2},
};
// clang-format on

TEST(Hatch, BadGapsAndLimitsRefuseOnlyTheirPattern) {
  for (const Row& row : kLimitRows) Check(row);
  // A gap that cannot serve: every pattern gives nothing; the last, a line
  // pattern with it as the border gap, fills where it is 0 or negligible.
  for (const float gap : {0.0f, -100.0f, std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::infinity(), 1e-4f}) {
    auto all = [gap] {
      Ln(0, 0, gap, 0, 0, 0, 0)();
      AddHatchPatternOffsetFilling(gap, EN_OFFSET_OUTSIDE_IN);
      AddHatchPatternOffsetInOut(gap, 3, gap, 3);
      AddHatchPatternHelixFillingEx(gap, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT, EN_CORNER_MITER,
                                    true, 0, 0);
      AddHatchPatternLattice(gap, 100, 0, 0, 0, false);
      AddHatchPatternOptimized(0, BORDER_GAP_INWARD, gap, 0, 0, HATCH_SERPENTINE);
      Ln(gap, 0, 100, 0, 0, 50, HATCH_SERPENTINE)();
    };
    Check({"bad gap", {kSquare}, all, gap == 0.0f || gap == 1e-4f ? 10 : 0});
  }
  ClearListOfHatchPatterns();
}

// The exchange reuses the line entities handed back to it. Whatever the host did to them (a
// new type, a moved point) or put into the list (a line and a polyline of its own), the next
// character's fill is what a fresh exchange gives, and nothing leaks (the sanitizer stage).
TEST(Hatch, ReusedLinesComeOutAsNew) {
  ClearListOfHatchPatterns();
  AddHatchPatternLine(0, BORDER_GAP_INWARD, 100, 0, 0, 50, HATCH_UNIDIRECTIONAL, EN_FALSE);
  const Fill fresh = Hatch({Polygon(kSquare)});
  ASSERT_EQ(fresh.lines.size(), 10u);

  Entities outline{Polygon(kSquare)};
  AddCharacterOutline(&outline);
  std::vector<CQELPolyLine*>* polylines = nullptr;
  std::vector<CQELEntity*>& fill = *GetFilledEntityList(&polylines);
  ASSERT_EQ(fill.size(), 10u);
  for (CQELEntity* e : fill) {
    static_cast<CQELLine*>(e)->GetStartPoint().SetX(-7);
    e->SetType(CQELEntity::kDot);
  }
  fill.push_back(L(1, 2, 3, 4));
  fill.push_back(Polygon(kSquare));
  ClearEntityList();

  for (int round = 0; round < 2; ++round) {
    const Fill again = Hatch({Polygon(kSquare)});  // every entity a line (checked in Hatch)
    ASSERT_EQ(again.lines.size(), fresh.lines.size());
    for (std::size_t i = 0; i < again.lines.size(); ++i) {
      EXPECT_EQ(again.lines[i].a, fresh.lines[i].a) << i;
      EXPECT_EQ(again.lines[i].b, fresh.lines[i].b) << i;
    }
  }
  ClearListOfHatchPatterns();
}

// Through the engine: the draws of one array, absolute output units; an arc
// (the shorter turn about its centre) as 16 chords.
Edges Draws(int index, EN_ReturnType type) {
  int* data = nullptr;
  const int n = GetOutLinesEx(index, type, &data, nullptr);
  Edges out;
  double x = 0, y = 0;
  for (int p = 0; p < n && data[p] != -1; p += data[p] == 42 ? 5 : 3) {
    const double nx = x + data[p + 1], ny = y + data[p + 2];
    if (data[p] == 42) {
      const double cx = x + data[p + 3], cy = y + data[p + 4], r = std::hypot(x - cx, y - cy);
      const double a0 = std::atan2(y - cy, x - cx);
      const double sweep = std::remainder(std::atan2(ny - cy, nx - cx) - a0, 2 * kPi);
      for (int i = 1; i <= 16; ++i) {
        const double a = a0 + sweep * i / 16;
        out.push_back({i == 1 ? Pt{x, y} : out.back().b,
                       i == 16 ? Pt{nx, ny} : Pt{cx + r * std::cos(a), cy + r * std::sin(a)}});
      }
    } else if (data[p] == 41) {
      out.push_back({{x, y}, {nx, ny}});
    }
    x = nx, y = ny;
  }
  DeleteTTFData(data);
  return out;
}
void Text(std::string text) {
  std::u16string t(text.begin(), text.end());
  AppendCharactersEx(reinterpret_cast<unsigned short*>(t.data()));
}

// The combined return types are the single streams joined per character, in their order.
TEST(EngineHatch, ReturnTypesJoinTheStreamsInTheirOrder) {
  InitializeTTF(1000.0f);
  SetDefaults();
  AddTTFHatchPatternLine(0, BORDER_GAP_INWARD, 0.05f, 0, 0, 0, HATCH_UNIDIRECTIONAL, EN_FALSE);
  AddTTFHatchPatternOffsetFilling(0.03f, EN_OFFSET_OUTSIDE_IN);
  Text("O");
  const Edges border = Draws(0, EN_RT_BORDER), fill = Draws(0, EN_RT_FILL),
              poly = Draws(0, EN_RT_HATCH_POLYLINES);
  ASSERT_FALSE(border.empty() || fill.empty() || poly.empty());
  EXPECT_GT(LeastDepth({fill, {}}, border), -1);  // inside the glyph, but for rounding
  auto same = [](const Edges& got, std::vector<const Edges*> parts) {
    Edges want;
    for (const Edges* p : parts) want.insert(want.end(), p->begin(), p->end());
    bool equal = got.size() == want.size();
    for (std::size_t i = 0; equal && i < got.size(); ++i) {  // within the carried rounding
      equal = std::fabs(got[i].b.first - want[i].b.first) <= 1 &&
              std::fabs(got[i].b.second - want[i].b.second) <= 1;
    }
    return equal;
  };
  EXPECT_TRUE(same(Draws(0, EN_RT_BORDER_FILL), {&border, &fill}));
  EXPECT_TRUE(same(Draws(0, EN_RT_FILL_BORDER), {&fill, &border}));
  EXPECT_TRUE(same(Draws(0, EN_RT_BORDER_POLYLINES_FILL), {&border, &poly, &fill}));
  // Without the border only the fill is drawn; the patterns in use when a
  // character is appended are the ones that fill it.
  FinishText();
  IncludeBorder(EN_FALSE);
  Text("O");
  ClearTTFHatchPatterns();
  Text("I");
  EXPECT_TRUE(Draws(-1, EN_RT_BORDER).empty());
  EXPECT_GT(Draws(0, EN_RT_FILL).size(), 20u);
  EXPECT_EQ(Draws(0, EN_RT_BORDER_FILL).size(), Draws(0, EN_RT_FILL).size());
  EXPECT_TRUE(Draws(1, EN_RT_FILL).empty());
}

// Rings a third of an output unit apart: finding the centre lines of their collapsing strips
// would sample the sides of "o" and "k" more than 4,000,000 times (it took a second a
// character), so the helix gives them nothing and the line pattern after it fills alone.
TEST(EngineHatch, CentreLineSamplingIsBounded) {
  InitializeTTF(1000.0f);
  SetDefaults();
  const auto fill = [](bool helix) {
    FinishText();
    ClearTTFHatchPatterns();
    if (helix) {
      AddTTFHatchPatternHelixFillingEx(0.00035f, EN_HELIX_OUTSIDE_IN, EN_OFFSET_DIRECT,
                                       EN_CORNER_MITER, 0, 0);
    }
    AddTTFHatchPatternLine(0, BORDER_GAP_INWARD, 0.05f, 0, 0, 0, HATCH_UNIDIRECTIONAL, EN_FALSE);
    Text("ok");
    return std::pair(
        Draws(0, EN_RT_FILL).size() + Draws(1, EN_RT_FILL).size(),
        Draws(0, EN_RT_HATCH_POLYLINES).size() + Draws(1, EN_RT_HATCH_POLYLINES).size());
  };
  const auto alone = fill(false);
  EXPECT_GT(alone.first + alone.second, 20u);
  EXPECT_EQ(fill(true), alone);
  ClearTTFHatchPatterns();
}

}  // namespace
