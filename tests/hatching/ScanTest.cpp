// The scanline line filler against Clipper's open-path clip of the same lines: every
// glyph of three fonts and seeded random polygons (overlapping and self-intersecting),
// both fill rules, compared piece by piece.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>

#include "HatchFill.h"

namespace {

using namespace qelhatching;

struct Tally {
  std::size_t regions = 0, pieces = 0, differing = 0, stretches = 0, far = 0;
  double longest = 0;     // units: the longest stretch covered by one filler only
  std::string first_far;  // the first stretch off the border, for the failure message
};

double BorderDistance(const Paths& region, double x, double y) {
  double least = 1e300;
  for (const Path& path : region) {
    for (std::size_t i = 0; i < path.size(); ++i) {
      const double ax = static_cast<double>(path[i].X), ay = static_cast<double>(path[i].Y);
      const IntPoint& b = path[(i + 1) % path.size()];
      const double ex = static_cast<double>(b.X) - ax, ey = static_cast<double>(b.Y) - ay;
      const double len2 = ex * ex + ey * ey;
      const double t =
          len2 > 0 ? std::clamp(((x - ax) * ex + (y - ay) * ey) / len2, 0.0, 1.0) : 0.0;
      least = std::min(least, std::hypot(ax + t * ex - x, ay + t * ey - y));
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
  ASSERT_EQ(refused_scan, refused_clip) << what;
  bool differs = false;
  // Events along each line: +1 where a piece of either starts, -1 where it ends.
  struct Event {
    long long k;
    double t;
    int scan, clip;
  };
  std::vector<Event> events;
  for (const auto& s : scan)
    events.push_back({s.k, s.t0, 1, 0}), events.push_back({s.k, s.t1, -1, 0});
  for (const auto& s : clip)
    events.push_back({s.k, s.t0, 0, 1}), events.push_back({s.k, s.t1, 0, -1});
  std::sort(events.begin(), events.end(),
            [](const Event& l, const Event& r) { return l.k != r.k ? l.k < r.k : l.t < r.t; });
  const double dx = std::cos(family.angle), dy = std::sin(family.angle);
  int in_scan = 0, in_clip = 0;
  for (std::size_t i = 0; i < events.size(); ++i) {
    in_scan += events[i].scan, in_clip += events[i].clip;
    if ((in_scan > 0) == (in_clip > 0) || i + 1 == events.size()) continue;
    const double t0 = events[i].t, t1 = events[i + 1].t, length = t1 - t0;
    if (length <= 0) continue;
    differs = true;
    // A quarter, half and three quarters along, on line k.
    bool near = true;
    const double u = static_cast<double>(events[i].k) * family.gap;
    for (const double f : {0.25, 0.5, 0.75}) {
      const double t = t0 + f * length;
      near = near && BorderDistance(region, family.base_x + t * dx - u * dy,
                                    family.base_y + t * dy + u * dx) <= 1.5;
    }
    if (near) {
      ++tally.stretches;
      tally.longest = std::max(tally.longest, length);
    } else if (tally.far++ == 0) {
      tally.first_far = std::string(what) + ", angle " + std::to_string(family.angle) +
                        ": a stretch of " + std::to_string(length) + " units on line " +
                        std::to_string(events[i].k) + " from t " + std::to_string(t0);
    }
  }
  tally.differing += differs;
}

void Report(const char* what, const Tally& tally) {
  std::printf(
      "%s: %zu regions, %zu pieces; %zu differ by %zu stretches along the border "
      "(longest %.0f units), %zu elsewhere\n",
      what, tally.regions, tally.pieces, tally.differing, tally.stretches, tally.longest,
      tally.far);
  EXPECT_EQ(tally.far, 0u) << tally.first_far;
}

struct Outline {
  Paths paths;
  double scale = 10;  // units per font unit
  int steps = 6;      // chords per curve
};

IntPoint At(const Outline& o, double x, double y) {
  return IntPoint(std::llround(x * o.scale), std::llround(y * o.scale));
}
int MoveTo(const FT_Vector* to, void* user) {
  auto& o = *static_cast<Outline*>(user);
  o.paths.push_back({At(o, to->x, to->y)});
  return 0;
}
int LineTo(const FT_Vector* to, void* user) {
  auto& o = *static_cast<Outline*>(user);
  o.paths.back().push_back(At(o, to->x, to->y));
  return 0;
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto& o = *static_cast<Outline*>(user);
  const IntPoint from = o.paths.back().back();
  const double x0 = static_cast<double>(from.X) / o.scale,
               y0 = static_cast<double>(from.Y) / o.scale;
  for (int i = 1; i <= o.steps; ++i) {
    const double t = static_cast<double>(i) / o.steps, s = 1 - t;
    const double a = s * s * s, b = 3 * s * s * t, c = 3 * s * t * t, d = t * t * t;
    o.paths.back().push_back(At(o, a * x0 + b * c1->x + c * c2->x + d * to->x,
                                a * y0 + b * c1->y + c * c2->y + d * to->y));
  }
  return 0;
}
int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
  const IntPoint from = static_cast<Outline*>(user)->paths.back().back();
  const double scale = static_cast<Outline*>(user)->scale;
  const double fx = static_cast<double>(from.X) / scale, fy = static_cast<double>(from.Y) / scale;
  const FT_Vector c1{std::lround(fx + 2.0 / 3 * (c->x - fx)),
                     std::lround(fy + 2.0 / 3 * (c->y - fy))};
  const FT_Vector c2{std::lround(to->x + 2.0 / 3 * (c->x - to->x)),
                     std::lround(to->y + 2.0 / 3 * (c->y - to->y))};
  return CubicTo(&c1, &c2, to, user);
}

Paths United(const Paths& paths) {
  ClipperLib::Clipper clipper;
  clipper.AddPaths(paths, ClipperLib::ptSubject, true);
  Paths out;
  clipper.Execute(ClipperLib::ctUnion, out, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
  return out;
}

// Angles along, across, at the hatch's usual 45 degrees and at an odd one; the gap about
// 1/50 of the cap height, the base off the grid of the units.
std::vector<Family> Families(double gap) {
  std::vector<Family> families;
  for (const double angle : {0.0, 1.5707963267948966, 0.785398, -0.3}) {  // united, raw, ...
    families.push_back(Family{angle, gap, 0.37, -0.11});
  }
  return families;
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
    const double gap = face->units_per_EM * 10.0 * 0.7 / 50;
    for (FT_Long g = 0; g < face->num_glyphs; ++g) {
      if (FT_Load_Glyph(face, static_cast<FT_UInt>(g), FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) !=
              0 ||
          face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
        continue;
      }
      Outline outline;
      FT_Outline_Decompose(&face->glyph->outline, &funcs, &outline);
      if (outline.paths.empty()) continue;
      ++glyph_count;
      const Paths region = United(outline.paths);
      const std::vector<Family> families = Families(gap);
      for (std::size_t f = 0; f < families.size(); ++f) {
        if (f % 2 == 0) Compare(region, families[f], FillRule::kNonZero, file, glyphs);
        if (f % 2 == 1) Compare(outline.paths, families[f], FillRule::kEvenOdd, file, raw);
      }
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  std::printf("glyphs: %zu\n", glyph_count);
  EXPECT_GT(glyph_count, 8000u);
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
      const int count = vertices(random);
      for (int i = 0; i < count; ++i) {
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

}  // namespace
