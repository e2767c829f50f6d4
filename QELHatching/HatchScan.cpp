// The scanline walk behind the line hatches: each line of a family is cut where it
// crosses the region's edges, the crossings sorted along it and paired by the fill
// rule. Parallel lines need no general clipper; this does a fraction of its work.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "HatchFill.h"

namespace qelhatching {

namespace {

// Clipper's rounding: half away from zero.
cInt Round(double v) {
  return v < 0 ? static_cast<cInt>(v - 0.5) : static_cast<cInt>(v + 0.5);
}

// An edge as Clipper keeps it: `bot` the end with the larger y, `dx` the change of x per
// unit of y (meaningless for a horizontal edge).
struct SweepEdge {
  IntPoint bot, top;
  double dx = 0.0;
  bool horizontal = false;
};

SweepEdge MakeEdge(const IntPoint& a, const IntPoint& b) {
  SweepEdge e;
  if (a.Y >= b.Y) {
    e.bot = a, e.top = b;
  } else {
    e.bot = b, e.top = a;
  }
  const cInt dy = e.top.Y - e.bot.Y;
  e.horizontal = dy == 0;
  if (!e.horizontal) e.dx = static_cast<double>(e.top.X - e.bot.X) / static_cast<double>(dy);
  return e;
}

cInt TopX(const SweepEdge& e, cInt y) {
  return y == e.top.Y ? e.top.X : e.bot.X + Round(e.dx * static_cast<double>(y - e.bot.Y));
}

// Where two crossing edges meet, rounded to the unit with the same floating-point steps
// as Clipper's sweep, so that a piece ends on the very point Clipper's clip gives it.
IntPoint MeetingPoint(const SweepEdge& line, const SweepEdge& edge) {
  if (line.horizontal) return IntPoint(TopX(edge, line.bot.Y), line.bot.Y);
  if (edge.horizontal) return IntPoint(TopX(line, edge.bot.Y), edge.bot.Y);
  IntPoint ip;
  if (line.dx == 0.0 || edge.dx == 0.0) {
    const SweepEdge& upright = line.dx == 0.0 ? line : edge;
    const SweepEdge& other = line.dx == 0.0 ? edge : line;
    ip.X = upright.bot.X;
    const double b = static_cast<double>(other.bot.Y) - static_cast<double>(other.bot.X) / other.dx;
    ip.Y = Round(static_cast<double>(ip.X) / other.dx + b);
  } else {
    const double b1 = static_cast<double>(line.bot.X) - static_cast<double>(line.bot.Y) * line.dx;
    const double b2 = static_cast<double>(edge.bot.X) - static_cast<double>(edge.bot.Y) * edge.dx;
    const double q = (b2 - b1) / (line.dx - edge.dx);
    ip.Y = Round(q);
    ip.X =
        std::fabs(line.dx) < std::fabs(edge.dx) ? Round(line.dx * q + b1) : Round(edge.dx * q + b2);
  }
  if (ip.Y < line.top.Y || ip.Y < edge.top.Y) {  // rounded past an end: back onto it
    ip.Y = std::max(line.top.Y, edge.top.Y);
    ip.X = std::fabs(line.dx) < std::fabs(edge.dx) ? TopX(line, ip.Y) : TopX(edge, ip.Y);
  }
  return ip;
}

// One line of the family, from its first end `p` along `d`.
struct ScanLine {
  IntPoint p;
  cInt dx = 0, dy = 0;
  SweepEdge edge;

  // Twice the signed area of (p, p + d, v): positive when v lies to the left. Exact:
  // both factors stay within a few times kMaxExtentUnits.
  std::int64_t Side(const IntPoint& v) const { return dx * (v.Y - p.Y) - dy * (v.X - p.X); }
  std::int64_t Along(const IntPoint& v) const { return dx * (v.X - p.X) + dy * (v.Y - p.Y); }
};

struct Crossing {
  long long k = 0;
  double t = 0;     // along the line: exact at a vertex, else up to the rounding of the division
  int winding = 0;  // +1 where the edge passes from right to left, else -1
  IntPoint at;      // rounded to the unit
};

}  // namespace

std::vector<LineSegment> ScanFamily(const Paths& region, const Family& family, bool& refused,
                                    FillRule rule) {
  std::vector<LineSegment> pieces;
  long long first = 0;
  const std::vector<FamilyLine> lines = FamilyLines(region, family, first, refused);
  if (lines.empty()) return pieces;
  const auto last = first + static_cast<long long>(lines.size()) - 1;
  const double dx = std::cos(family.angle), dy = std::sin(family.angle);
  const double nx = -dy, ny = dx;

  std::vector<ScanLine> scan(lines.size());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const IntPoint& p = lines[i].from;
    const IntPoint& q = lines[i].to;
    scan[i] = ScanLine{p, q.X - p.X, q.Y - p.Y, MakeEdge(p, q)};
  }
  // A line's ends are rounded, so it may stray up to sqrt(1/2) unit from its exact
  // place: an edge is tried against every line within one unit of its span.
  const double slack = 1.0 / family.gap, per_gap = 1.0 / family.gap;
  auto line_number = [&](const IntPoint& v) {
    return ((static_cast<double>(v.X) - family.base_x) * nx +
            (static_cast<double>(v.Y) - family.base_y) * ny) *
           per_gap;
  };

  std::vector<Crossing> crossings;
  for (const Path& path : region) {
    const std::size_t n = path.size();
    if (n < 2) continue;
    double u_b = line_number(path[0]);
    for (std::size_t i = 0; i < n; ++i) {
      const IntPoint& a = path[i];
      const IntPoint& b = path[(i + 1) % n];
      const double u_a = u_b;
      u_b = line_number(b);
      const double lo = std::max(std::ceil(std::min(u_a, u_b) - slack), static_cast<double>(first));
      const double hi = std::min(std::floor(std::max(u_a, u_b) + slack), static_cast<double>(last));
      if (!(lo <= hi)) continue;
      for (auto k = static_cast<long long>(lo); k <= static_cast<long long>(hi); ++k) {
        const ScanLine& line = scan[static_cast<std::size_t>(k - first)];
        const std::int64_t s_a = line.Side(a), s_b = line.Side(b);
        // A vertex on the line counts with the left side.
        const bool left_a = s_a >= 0, left_b = s_b >= 0;
        if (left_a == left_b) continue;
        Crossing c;
        c.k = k;
        c.winding = left_b ? 1 : -1;
        if (s_a == 0) {
          c.at = a, c.t = static_cast<double>(line.Along(a));
        } else if (s_b == 0) {
          c.at = b, c.t = static_cast<double>(line.Along(b));
        } else {
          const double lambda =
              static_cast<double>(s_a) / (static_cast<double>(s_a) - static_cast<double>(s_b));
          const std::int64_t along_a = line.Along(a), along_b = line.Along(b);
          c.t = static_cast<double>(along_a) + lambda * static_cast<double>(along_b - along_a);
          c.at = MeetingPoint(line.edge, MakeEdge(a, b));
        }
        crossings.push_back(c);
      }
    }
  }
  // By line (counting), then along each line (a handful of crossings each).
  std::vector<std::size_t> start_of(lines.size() + 1, 0);
  for (const Crossing& c : crossings) ++start_of[static_cast<std::size_t>(c.k - first) + 1];
  for (std::size_t i = 1; i < start_of.size(); ++i) start_of[i] += start_of[i - 1];
  std::vector<Crossing> sorted(crossings.size());
  {
    std::vector<std::size_t> next(start_of.begin(), start_of.end() - 1);
    for (const Crossing& c : crossings) sorted[next[static_cast<std::size_t>(c.k - first)]++] = c;
  }
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const auto begin = sorted.begin() + static_cast<std::ptrdiff_t>(start_of[l]);
    const auto end = sorted.begin() + static_cast<std::ptrdiff_t>(start_of[l + 1]);
    std::sort(begin, end, [](const Crossing& x, const Crossing& y) { return x.t < y.t; });
  }
  crossings.swap(sorted);

  auto inside = [rule](int winding) {
    return rule == FillRule::kEvenOdd ? (winding & 1) != 0 : winding != 0;
  };
  int winding = 0;
  IntPoint start;
  for (std::size_t i = 0; i < crossings.size();) {
    // Crossings at one point are taken together: a touch neither starts nor ends a piece.
    std::size_t j = i;
    int change = 0;
    while (j < crossings.size() && crossings[j].k == crossings[i].k &&
           crossings[j].t == crossings[i].t) {
      change += crossings[j++].winding;
    }
    const bool was = inside(winding), now = inside(winding + change);
    const Crossing& c = crossings[i];
    if (!was && now) {
      start = c.at;
    } else if (was && !now && !(start == c.at)) {
      pieces.push_back(FamilyPiece(family, dx, dy, c.k, start, c.at));
      if (pieces.size() > kMaxSegmentsPerCharacter) {
        refused = true;
        return {};
      }
    }
    winding += change;
    if (j == crossings.size() || crossings[j].k != c.k) winding = 0;  // a closed border
    i = j;
  }
  SortPieces(pieces);
  return pieces;
}

}  // namespace qelhatching
