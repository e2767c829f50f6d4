// The scanline line filler against Clipper's open-path clip of the same lines: every
// glyph of three fonts and seeded random polygons (overlapping and self-intersecting),
// both fill rules, compared piece by piece; and the grid searches against plain ones.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <random>
#include <string>
#include <tuple>

#include "HatchFill.h"

namespace {

using namespace qelhatching;

struct Tally {
  std::size_t regions = 0, pieces = 0, identical = 0, differing = 0, stretches = 0;
  double longest = 0;  // units: the longest stretch covered by one filler only
};

double BorderDistance(const Paths& region, double x, double y) {
  double least = 1e300;
  for (const Path& path : region) {
    for (std::size_t i = 0; i < path.size(); ++i) {
      const IntPoint &a = path[i], &b = path[(i + 1) % path.size()];
      const auto ex = static_cast<double>(b.X - a.X), ey = static_cast<double>(b.Y - a.Y);
      const double px = x - static_cast<double>(a.X), py = y - static_cast<double>(a.Y);
      const double t = std::clamp((px * ex + py * ey) / (ex * ex + ey * ey + 1e-300), 0.0, 1.0);
      least = std::min(least, std::hypot(px - t * ex, py - t * ey));
    }
  }
  return least;
}

// Both fillers on one region and family. A stretch of a line covered by one of them only
// must keep within 1.5 units of the border: a crossing rounded apart (Clipper may move a
// crossing onto the height of a nearby vertex, a few units away) or the line running along
// the border, where a piece may reach along the edge or stop at its end.
void Compare(const Paths& region, const Family& family, FillRule rule, const char* what,
             Tally& tally) {
  bool refused_scan = false, refused_clip = false;
  const auto scan = ScanFamily(region, family, refused_scan, rule);
  const auto clip = ClipFamily(region, family, refused_clip, rule);
  ++tally.regions;
  tally.pieces += clip.size();
  std::size_t identical = 0;
  for (std::size_t i = 0, j = 0; i < scan.size() && j < clip.size();) {  // both by (k, t0)
    const bool same_key = scan[i].k == clip[j].k && scan[i].t0 == clip[j].t0;
    identical += same_key && scan[i].a == clip[j].a && scan[i].b == clip[j].b;
    const bool scan_first = std::tie(scan[i].k, scan[i].t0) < std::tie(clip[j].k, clip[j].t0);
    i += same_key || scan_first, j += same_key || !scan_first;
  }
  tally.identical += identical;
  tally.differing += identical != clip.size() || identical != scan.size();
  ASSERT_EQ(refused_scan, refused_clip) << what;
  std::vector<std::tuple<long long, double, int, int>> events;  // k, t, +1 start/-1 end of each
  for (const auto& s : scan)
    events.emplace_back(s.k, s.t0, 1, 0), events.emplace_back(s.k, s.t1, -1, 0);
  for (const auto& s : clip)
    events.emplace_back(s.k, s.t0, 0, 1), events.emplace_back(s.k, s.t1, 0, -1);
  std::sort(events.begin(), events.end());
  const double dx = std::cos(family.angle), dy = std::sin(family.angle);
  int in_scan = 0, in_clip = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    const auto [k, t0, scan_step, clip_step] = events[i];
    in_scan += scan_step, in_clip += clip_step;
    if ((in_scan > 0) == (in_clip > 0) || i + 1 == events.size()) continue;
    const double length = std::get<1>(events[i + 1]) - t0;
    if (length <= 0) continue;
    // A quarter, half and three quarters along, on line k.
    bool near = true;
    const double u = static_cast<double>(k) * family.gap;
    for (const double f : {0.25, 0.5, 0.75}) {
      const double t = t0 + f * length;
      near = near && BorderDistance(region, family.base_x + t * dx - u * dy,
                                    family.base_y + t * dy + u * dx) <= 1.5;
    }
    if (near) {
      ++tally.stretches;
      tally.longest = std::max(tally.longest, length);
    } else {
      ADD_FAILURE() << what << ", angle " << family.angle << ": " << length << " units on line "
                    << k << " from t " << t0;
    }
  }
}

void Report(const char* what, const Tally& tally) {
  std::printf(
      "%s: %zu regions, %zu pieces, %zu identical; %zu regions differ by %zu stretches "
      "along the border (longest %.0f units)\n",
      what, tally.regions, tally.pieces, tally.identical, tally.differing, tally.stretches,
      tally.longest);
  EXPECT_GT(tally.identical, tally.pieces * 0.99) << what;  // a systematic error shows here
}

// A glyph's contours through its points, control points included (the control polygon
// is as good a region as the curve for comparing two fillers), ten units per font unit.
void Add(Paths& paths, std::initializer_list<const FT_Vector*> points) {
  for (const FT_Vector* p : points) paths.back().emplace_back(p->x * 10, p->y * 10);
}
int MoveTo(const FT_Vector* to, void* user) {
  static_cast<Paths*>(user)->emplace_back();
  return Add(*static_cast<Paths*>(user), {to}), 0;
}
int LineTo(const FT_Vector* to, void* user) {
  return Add(*static_cast<Paths*>(user), {to}), 0;
}
int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
  return Add(*static_cast<Paths*>(user), {c, to}), 0;
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  return Add(*static_cast<Paths*>(user), {c1, c2, to}), 0;
}

TEST(ScanFill, EveryGlyphOfThreeFontsMatchesClipper) {
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  const FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  Tally glyphs, raw;
  std::size_t glyph_count = 0;
  for (const char* file : {"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
                           "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           "/usr/share/fonts/truetype/freefont/FreeSerif.ttf"}) {
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(library, file, 0, &face), 0) << file;
    const double gap = face->units_per_EM * 10.0 * 0.7 / 50;  // about cap height / 50
    for (FT_Long g = 0; g < face->num_glyphs; ++g) {
      Paths outline;  // empty for a bitmap or a glyph without contours
      if (FT_Load_Glyph(face, static_cast<FT_UInt>(g), FT_LOAD_NO_SCALE) == 0) {
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &outline);
      }
      if (outline.empty()) continue;
      ++glyph_count;
      Paths region;  // united, touching contours split apart
      ClipperLib::SimplifyPolygons(outline, region, ClipperLib::pftNonZero);
      // Along, across, at the usual 45 degrees and an odd angle; the base off the unit grid.
      Compare(region, Family{0.0, gap, 0.37, -0.11}, FillRule::kNonZero, file, glyphs);
      Compare(region, Family{0.785398, gap, 0.37, -0.11}, FillRule::kNonZero, file, glyphs);
      Compare(outline, Family{1.5707963267948966, gap, 0.37, -0.11}, FillRule::kEvenOdd, file, raw);
      Compare(outline, Family{-0.3, gap, 0.37, -0.11}, FillRule::kEvenOdd, file, raw);
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  EXPECT_GT(glyph_count, 8000u);
  std::printf("%zu glyphs\n", glyph_count);
  Report("united glyphs, nonzero", glyphs);
  Report("glyph contours as drawn, even-odd", raw);
}

TEST(ScanFill, SeededRandomPolygonsMatchClipper) {
  std::mt19937 random(24);
  std::uniform_int_distribution<cInt> coordinate(-20000, 20000), grid(-40, 40);
  std::uniform_int_distribution<int> vertices(3, 12), contours(1, 3), quarter(0, 3);
  std::uniform_real_distribution<double> angle(-3.2, 3.2), gap(150, 1500);
  Tally tally;
  for (int n = 0; n < 4000; ++n) {
    // Every other polygon on a grid of 500 units hatched along or across it at a multiple
    // of the grid: lines through vertices and along edges.
    const bool on_grid = n % 4 >= 2;
    Paths paths(static_cast<std::size_t>(contours(random)));
    for (Path& path : paths) {
      for (int i = vertices(random); i > 0; --i) {
        path.push_back(on_grid ? IntPoint(grid(random) * 500, grid(random) * 500)
                               : IntPoint(coordinate(random), coordinate(random)));
      }
    }
    const Family family = on_grid ? Family{quarter(random) * 1.5707963267948966,
                                           500.0 * (1 + quarter(random)), 0.0, 0.0}
                                  : Family{angle(random), gap(random), 0.0, 0.0};
    Compare(paths, family, n % 2 == 0 ? FillRule::kNonZero : FillRule::kEvenOdd, "random", tally);
  }
  Report("random polygons", tally);
}

// Rings that cut as their union are hatched without it (a scanline-only region): wherever
// RingsCutAsTheirUnion lets them, the cut of the bare rings must give the pieces of the cut
// of Clipper's nonzero union, end points included. Returns whether the rings qualified.
bool SameCutAsUnion(const Paths& rings, const Family& family, const std::string& what) {
  Paths straightened;
  if (!RingsCutAsTheirUnion(rings, straightened)) return false;
  Paths united;
  ClipperLib::Clipper clipper;
  clipper.AddPaths(rings, ClipperLib::ptSubject, true);
  clipper.Execute(ClipperLib::ctUnion, united, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
  bool refused_bare = false, refused_united = false;
  const auto bare = ScanFamily(straightened, family, refused_bare);
  const auto cut = ScanFamily(united, family, refused_united);
  EXPECT_EQ(refused_bare, refused_united) << what;
  EXPECT_EQ(bare.size(), cut.size()) << what << ", angle " << family.angle;
  for (std::size_t i = 0; i < std::min(bare.size(), cut.size()); ++i) {
    if (bare[i].k != cut[i].k || !(bare[i].a == cut[i].a) || !(bare[i].b == cut[i].b)) {
      ADD_FAILURE() << what << ", angle " << family.angle << ": piece " << i << " on line "
                    << cut[i].k << " from (" << cut[i].a.X << ", " << cut[i].a.Y << ")";
      break;
    }
  }
  return true;
}

// A glyph's contours flattened as the engine's outlines are (each curve in eight chords),
// ten units per font unit, a vertex that rounds onto the one before it dropped.
struct Flattener {
  Paths rings;
  FT_Vector at{};
  void Vertex(double x, double y) {
    const IntPoint q(std::llround(x * 10), std::llround(y * 10));
    if (rings.back().empty() || !(rings.back().back() == q)) rings.back().push_back(q);
  }
  static Flattener& Of(void* user) { return *static_cast<Flattener*>(user); }
  static int MoveTo(const FT_Vector* to, void* user) {
    Of(user).rings.emplace_back();
    Of(user).Vertex(to->x, to->y), Of(user).at = *to;
    return 0;
  }
  static int LineTo(const FT_Vector* to, void* user) {
    Of(user).Vertex(to->x, to->y), Of(user).at = *to;
    return 0;
  }
  static int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
    const FT_Vector p = Of(user).at;
    for (int i = 1; i <= 8; ++i) {
      const double t = i / 8.0, u = 1 - t;
      Of(user).Vertex(u * u * p.x + 2 * u * t * c->x + t * t * to->x,
                      u * u * p.y + 2 * u * t * c->y + t * t * to->y);
    }
    Of(user).at = *to;
    return 0;
  }
  static int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    const FT_Vector p = Of(user).at;
    for (int i = 1; i <= 8; ++i) {
      const double t = i / 8.0, u = 1 - t;
      Of(user).Vertex(
          u * u * u * p.x + 3 * u * u * t * c1->x + 3 * u * t * t * c2->x + t * t * t * to->x,
          u * u * u * p.y + 3 * u * u * t * c1->y + 3 * u * t * t * c2->y + t * t * t * to->y);
    }
    Of(user).at = *to;
    return 0;
  }
};

TEST(ScanFill, RingsThatCutAsTheirUnionGiveItsPieces) {
  FT_Library library = nullptr;
  ASSERT_EQ(FT_Init_FreeType(&library), 0);
  const FT_Outline_Funcs funcs{
      Flattener::MoveTo, Flattener::LineTo, Flattener::ConicTo, Flattener::CubicTo, 0, 0};
  std::size_t glyphs = 0, bare = 0;
  for (const char* file : {"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
                           "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           "/usr/share/fonts/truetype/freefont/FreeSerif.ttf"}) {
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(library, file, 0, &face), 0) << file;
    const double gap = face->units_per_EM * 10.0 * 0.7 / 50;
    for (FT_Long g = 0; g < face->num_glyphs; ++g) {
      Flattener flat;
      if (FT_Load_Glyph(face, static_cast<FT_UInt>(g), FT_LOAD_NO_SCALE) == 0) {
        FT_Outline_Decompose(&face->glyph->outline, &funcs, &flat);
      }
      Paths rings;
      for (Path& ring : flat.rings) {
        if (ring.size() > 1 && ring.back() == ring.front()) ring.pop_back();
        if (ring.size() >= 3) rings.push_back(std::move(ring));
      }
      if (rings.empty()) continue;
      ++glyphs;
      const std::string what = std::string(file) + " glyph " + std::to_string(g);
      bool qualified = false;
      for (const double angle : {0.0, 0.785398, 1.5707963267948966, -0.3}) {
        qualified = SameCutAsUnion(rings, Family{angle, gap, 0.37, -0.11}, what);
      }
      bare += qualified;
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  std::printf("%zu glyphs, %zu cut without the union\n", glyphs, bare);
  EXPECT_GT(bare, glyphs / 2);  // the path is taken, so the comparison means something
}

// Seeded star-shaped rings (each one simple), some nested the same or the other way round,
// some beside one another, half on a coarse grid hatched along it so that lines run
// through vertices; and the cases the check must turn away.
TEST(ScanFill, SeededSimpleRingsGiveTheUnionsPieces) {
  std::mt19937 random(11);
  std::uniform_int_distribution<int> vertices(3, 14), count(1, 4), quarter(0, 3);
  std::uniform_real_distribution<double> unit(0.0, 1.0), angle(-3.2, 3.2);
  std::size_t bare = 0;
  for (int n = 0; n < 3000; ++n) {
    const bool on_grid = n % 2 == 1;
    Paths rings;
    const double cx = 20000 * unit(random), cy = 20000 * unit(random);
    for (int c = count(random); c > 0; --c) {
      // Nested inside the first (a smaller radius round the same centre) or moved aside.
      const bool inside = unit(random) < 0.5;
      const double scale = inside ? 0.2 + 0.3 * unit(random) : 1.0;
      const double ox = inside ? 0 : 90000.0 * c, r = 30000 * (rings.empty() ? 1.0 : scale);
      std::vector<double> turns(static_cast<std::size_t>(vertices(random)));
      for (double& t : turns) t = 2 * 3.141592653589793 * unit(random);
      std::sort(turns.begin(), turns.end());
      Path ring;
      for (const double t : turns) {
        const double radius = r * (0.5 + 0.5 * unit(random));
        double x = cx + ox + radius * std::cos(t), y = cy + radius * std::sin(t);
        if (on_grid) x = std::round(x / 500) * 500, y = std::round(y / 500) * 500;
        const IntPoint q(std::llround(x), std::llround(y));
        if (ring.empty() || !(ring.back() == q)) ring.push_back(q);
      }
      if (unit(random) < 0.5) std::reverse(ring.begin(), ring.end());
      rings.push_back(ring);
    }
    const Family family = on_grid ? Family{quarter(random) * 1.5707963267948966,
                                           500.0 * (1 + quarter(random)), 0.0, 0.0}
                                  : Family{angle(random), 700.0 + 900 * unit(random), 0.0, 0.0};
    bare += SameCutAsUnion(rings, family, "ring set " + std::to_string(n));
  }
  std::printf("%zu of 3000 ring sets cut without the union\n", bare);
  EXPECT_GT(bare, 1000u);

  // Touching, crossing, repeated or spiked: each must go through the union. A vertex between
  // its neighbours on their line is dropped, at the seam too, as the union drops it.
  const Path square{{0, 0}, {1000, 0}, {1000, 1000}, {0, 1000}};
  const std::vector<std::pair<const char*, Paths>> refused{
      {"a ring crossing itself", {{{0, 0}, {1000, 1000}, {1000, 0}, {0, 1000}}}},
      {"two rings overlapping", {square, {{500, 500}, {1500, 500}, {1500, 1500}, {500, 1500}}}},
      {"two rings sharing a corner", {square, {{1000, 1000}, {2000, 1000}, {2000, 2000}}}},
      {"a corner on another ring's edge", {square, {{1000, 500}, {2000, 0}, {2000, 1000}}}},
      {"an edge along another's", {square, {{1000, 200}, {2000, 200}, {2000, 800}, {1000, 800}}}},
      {"a ring touching itself",
       {{{0, 0}, {1000, 0}, {500, 500}, {1000, 1000}, {0, 1000}, {500, 500}}}},
      {"a spike", {{{0, 0}, {1000, 0}, {500, 0}, {500, 800}}}},
      {"a vertex repeated", {{{0, 0}, {1000, 0}, {1000, 0}, {1000, 1000}}}},
      {"a ring on one line", {{{0, 0}, {500, 0}, {1000, 0}}}},
      {"two vertices", {{{0, 0}, {1000, 0}}}},
      {"nothing", {}},
  };
  Paths straightened;
  for (const auto& [what, rings] : refused) {
    EXPECT_FALSE(RingsCutAsTheirUnion(rings, straightened)) << what;
  }
  const std::vector<std::tuple<const char*, Paths, Paths>> accepted{
      {"a hole",
       {square, {{200, 200}, {800, 200}, {500, 800}}},
       {square, {{200, 200}, {800, 200}, {500, 800}}}},
      {"two rings apart",
       {square, {{2000, 0}, {3000, 0}, {2500, 1000}}},
       {square, {{2000, 0}, {3000, 0}, {2500, 1000}}}},
      {"a vertex on the way",
       {{{0, 0}, {500, 0}, {1000, 0}, {1000, 1000}}},
       {{{0, 0}, {1000, 0}, {1000, 1000}}}},
      {"a start on the way, and the first vertex repeated at the end",
       {{{500, 0}, {1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}, {500, 0}}},
       {{{1000, 0}, {1000, 1000}, {0, 1000}, {0, 0}}}},
  };
  for (const auto& [what, rings, expected] : accepted) {
    ASSERT_TRUE(RingsCutAsTheirUnion(rings, straightened)) << what;
    EXPECT_EQ(straightened, expected) << what;
  }
}

// The travel order (a grid search above 512 segments) against a plain search written here,
// on seeded random segments, half of them on a coarse grid so that distances tie.
TEST(ScanFill, GridOrderPicksWhatThePlainSearchPicks) {
  std::mt19937 random(7);
  std::uniform_int_distribution<cInt> fine(-30000, 30000), coarse(-6, 6);
  std::uniform_int_distribution<std::size_t> count(100, 4000);
  for (int n = 0; n < 60; ++n) {
    std::vector<Segment> segments(count(random));
    auto point = [&] {
      return n % 2 == 1 ? IntPoint(coarse(random) * 1000, coarse(random) * 1000)
                        : IntPoint(fine(random), fine(random));
    };
    for (Segment& s : segments) s.a = point(), s.b = point();
    std::vector<Segment> plain = segments;
    IntPoint pen(fine(random), fine(random)), plain_pen = pen;
    const auto d = [&](const IntPoint& p) {
      return std::pow(static_cast<double>(p.X - plain_pen.X), 2) +
             std::pow(static_cast<double>(p.Y - plain_pen.Y), 2);
    };
    for (std::size_t i = 0; i < plain.size(); ++i) {
      std::size_t best = i;
      for (std::size_t j = i + 1; j < plain.size(); ++j) {
        if (d(plain[j].a) < d(plain[best].a)) best = j;
      }
      std::swap(plain[i], plain[best]);
      plain_pen = plain[i].b;
    }
    OrderSegments(segments, pen);
    ASSERT_TRUE(pen == plain_pen) << n;
    for (std::size_t i = 0; i < plain.size(); ++i) {
      ASSERT_TRUE(segments[i].a == plain[i].a && segments[i].b == plain[i].b) << n << " " << i;
    }
  }
}

// Loop removal (a grid search) against the plain scan written here, on seeded random walks
// that cross themselves: fine steps, steps on a coarse grid (touching and collinear edges),
// closed walks, and walks with long edges across the whole box (too many filings for a grid).
TEST(ScanFill, GridLoopRemovalCutsWhatThePlainScanCuts) {
  const auto plain = [](Path line) {
    if (line.size() > kMaxLoopCheck) return line;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
      const double ax = static_cast<double>(line[i].X), ay = static_cast<double>(line[i].Y);
      const double dx = static_cast<double>(line[i + 1].X) - ax;
      const double dy = static_cast<double>(line[i + 1].Y) - ay;
      for (std::size_t j = line.size() - 2; j > i + 1; --j) {
        const double px = static_cast<double>(line[j].X), py = static_cast<double>(line[j].Y);
        const double ex = static_cast<double>(line[j + 1].X) - px;
        const double ey = static_cast<double>(line[j + 1].Y) - py;
        const double denom = dx * ey - dy * ex;
        if (denom == 0.0 || (i == 0 && j + 2 == line.size() && line.front() == line.back())) {
          continue;
        }
        const double s = ((px - ax) * ey - (py - ay) * ex) / denom;
        const double r = ((px - ax) * dy - (py - ay) * dx) / denom;
        if (s < 0 || s > 1 || r < 0 || r > 1) continue;
        const IntPoint x(std::llround(ax + s * dx), std::llround(ay + s * dy));
        line.erase(line.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                   line.begin() + static_cast<std::ptrdiff_t>(j) + 1);
        line.insert(line.begin() + static_cast<std::ptrdiff_t>(i) + 1, x);
        break;
      }
    }
    return line;
  };
  std::mt19937 random(25);
  std::uniform_int_distribution<std::size_t> count(4, 3000);
  std::uniform_int_distribution<cInt> step(-900, 1000), coarse(-2, 2), far(-1000000, 1000000);
  std::size_t cut = 0;
  for (int n = 0; n < 200; ++n) {
    Path line{IntPoint(0, 0)};
    for (std::size_t i = count(random); i > 1; --i) {
      const IntPoint& p = line.back();
      if (n % 4 == 3 && i % 7 == 0) {
        line.emplace_back(far(random), far(random));
      } else if (n % 4 == 1) {
        line.emplace_back(p.X + coarse(random) * 100, p.Y + coarse(random) * 100);
      } else {
        line.emplace_back(p.X + step(random), p.Y + step(random));
      }
    }
    if (n % 4 == 2) line.back() = line.front();
    Path grid = line;
    RemoveLoops(grid);
    const Path expected = plain(line);
    cut += line.size() - expected.size();
    ASSERT_EQ(grid.size(), expected.size()) << n;
    for (std::size_t i = 0; i < grid.size(); ++i)
      ASSERT_TRUE(grid[i] == expected[i]) << n << " " << i;
  }
  EXPECT_GT(cut, 10000u);  // the walks do loop
}

}  // namespace
