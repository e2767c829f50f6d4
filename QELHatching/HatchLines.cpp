// Line families: parallel lines on the k * gap grid clipped to the region, and
// the six line styles built from them.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "HatchFill.h"

namespace qelhatching {

using ClipperLib::Clipper;

std::vector<FamilyLine> FamilyLines(const Paths& region, const Family& family, long long& first,
                                    bool& refused) {
  std::vector<FamilyLine> lines;
  if (region.empty() || !(family.gap > 0) || !std::isfinite(family.angle)) return lines;
  const double dx = std::cos(family.angle), dy = std::sin(family.angle);  // along the lines
  const double nx = -dy, ny = dx;                                         // across them

  // The region's extent across (u, in gaps) and along (t) the family.
  double u_min = std::numeric_limits<double>::infinity(), u_max = -u_min;
  double t_min = u_min, t_max = -u_min;
  for (const Path& path : region) {
    for (const IntPoint& p : path) {
      const double x = static_cast<double>(p.X) - family.base_x;
      const double y = static_cast<double>(p.Y) - family.base_y;
      const double u = (x * nx + y * ny) / family.gap, t = x * dx + y * dy;
      u_min = std::min(u_min, u), u_max = std::max(u_max, u);
      t_min = std::min(t_min, t), t_max = std::max(t_max, t);
    }
  }
  const double k_first = std::ceil(u_min), k_last = std::floor(u_max);
  if (!(std::fabs(k_first) <= kMaxLineIndex && std::fabs(k_last) <= kMaxLineIndex)) {
    refused = true;  // not finite, or a base point absurdly far away
    return lines;
  }
  if (!(k_first <= k_last)) return lines;
  if (k_last - k_first + 1 > static_cast<double>(kMaxSegmentsPerCharacter)) {
    refused = true;
    return lines;
  }
  first = static_cast<long long>(k_first);
  const auto last = static_cast<long long>(k_last);
  t_min -= 2.0, t_max += 2.0;  // reach past the border so every crossing is cut by the clip

  lines.reserve(static_cast<std::size_t>(last - first + 1));
  for (long long k = first; k <= last; ++k) {
    const double cx = family.base_x + nx * family.gap * static_cast<double>(k);
    const double cy = family.base_y + ny * family.gap * static_cast<double>(k);
    lines.push_back({IntPoint(static_cast<cInt>(std::llround(cx + dx * t_min)),
                              static_cast<cInt>(std::llround(cy + dy * t_min))),
                     IntPoint(static_cast<cInt>(std::llround(cx + dx * t_max)),
                              static_cast<cInt>(std::llround(cy + dy * t_max)))});
  }
  return lines;
}

LineSegment FamilyPiece(const Family& family, double dx, double dy, long long k, const IntPoint& a,
                        const IntPoint& b) {
  const auto along = [&](const IntPoint& v) {
    return (static_cast<double>(v.X) - family.base_x) * dx +
           (static_cast<double>(v.Y) - family.base_y) * dy;
  };
  LineSegment s;
  s.k = k;
  s.t0 = along(a), s.t1 = along(b);
  s.a = a, s.b = b;
  if (s.t0 > s.t1) std::swap(s.t0, s.t1), std::swap(s.a, s.b);
  return s;
}

void SortPieces(std::vector<LineSegment>& pieces) {
  std::sort(pieces.begin(), pieces.end(), [](const LineSegment& l, const LineSegment& r) {
    return l.k != r.k ? l.k < r.k : l.t0 < r.t0;
  });
}

std::vector<LineSegment> ClipFamily(const Paths& region, const Family& family, bool& refused,
                                    FillRule rule) {
  std::vector<LineSegment> pieces;
  long long first = 0;
  const std::vector<FamilyLine> family_lines = FamilyLines(region, family, first, refused);
  if (family_lines.empty()) return pieces;
  const double dx = std::cos(family.angle), dy = std::sin(family.angle);
  const double nx = -dy, ny = dx;

  Paths lines;
  lines.reserve(family_lines.size());
  for (const FamilyLine& line : family_lines) lines.push_back({line.from, line.to});
  Clipper clipper;
  clipper.AddPaths(lines, ClipperLib::ptSubject, false);
  clipper.AddPaths(region, ClipperLib::ptClip, true);
  ClipperLib::PolyTree tree;
  const auto fill = rule == FillRule::kEvenOdd ? ClipperLib::pftEvenOdd : ClipperLib::pftNonZero;
  clipper.Execute(ClipperLib::ctIntersection, tree, fill, fill);
  Paths open;
  ClipperLib::OpenPathsFromPolyTree(tree, open);
  if (open.size() > kMaxSegmentsPerCharacter) {
    refused = true;
    return pieces;
  }

  pieces.reserve(open.size());
  for (const Path& path : open) {
    if (path.size() < 2) continue;
    const IntPoint& p = path.front();
    const IntPoint& q = path.back();
    if (p == q) continue;  // a touch at a vertex marks nothing
    const double mx = 0.5 * static_cast<double>(p.X + q.X) - family.base_x;
    const double my = 0.5 * static_cast<double>(p.Y + q.Y) - family.base_y;
    pieces.push_back(
        FamilyPiece(family, dx, dy, std::llround((mx * nx + my * ny) / family.gap), p, q));
  }
  SortPieces(pieces);
  return pieces;
}

namespace {

// Where `p` lies on the region's border: the path and the edge (from vertex
// `edge` to the next) nearest to it, and the squared distance.
struct BorderSpot {
  std::size_t path = 0, edge = 0;
  double d2 = std::numeric_limits<double>::infinity();
};

BorderSpot Locate(const Paths& region, const IntPoint& p) {
  BorderSpot spot;
  const double px = static_cast<double>(p.X), py = static_cast<double>(p.Y);
  for (std::size_t k = 0; k < region.size(); ++k) {
    const Path& path = region[k];
    for (std::size_t i = 0; i < path.size(); ++i) {
      const double d2 = SegmentDistance2(px, py, path[i], path[(i + 1) % path.size()]);
      if (d2 < spot.d2) spot = {k, i, d2};
    }
  }
  return spot;
}

double Length(const IntPoint& a, const IntPoint& b) {
  return std::hypot(static_cast<double>(b.X - a.X), static_cast<double>(b.Y - a.Y));
}

}  // namespace

bool BorderWalk(const Paths& region, const IntPoint& from, const IntPoint& to, double max_length,
                Path& walk) {
  walk.clear();
  const BorderSpot a = Locate(region, from), b = Locate(region, to);
  // Both ends must sit on the same contour (within the rounding of the clip).
  if (a.path != b.path || a.d2 > 4.0 || b.d2 > 4.0) return false;
  if (a.edge == b.edge) return Length(from, to) <= max_length;  // straight along one edge
  const Path& path = region[a.path];
  const std::size_t n = path.size();
  // Forwards: the vertices after a's edge up to b's edge's first vertex.
  Path forward;
  double length = 0;
  IntPoint at = from;
  for (std::size_t i = (a.edge + 1) % n;; i = (i + 1) % n) {
    length += Length(at, path[i]);
    if (length > max_length) break;
    forward.push_back(path[i]);
    at = path[i];
    if (i == b.edge) break;
  }
  const bool forward_ok =
      !forward.empty() && forward.back() == path[b.edge] && length + Length(at, to) <= max_length;
  // Backwards: the vertices from a's edge's first vertex down to the vertex after b's edge.
  Path backward;
  double back_length = 0;
  at = from;
  for (std::size_t i = a.edge;; i = (i + n - 1) % n) {
    back_length += Length(at, path[i]);
    if (back_length > max_length) break;
    backward.push_back(path[i]);
    at = path[i];
    if (i == (b.edge + 1) % n) break;
  }
  const bool backward_ok = !backward.empty() && backward.back() == path[(b.edge + 1) % n] &&
                           back_length + Length(at, to) <= max_length;
  if (forward_ok && (!backward_ok || length <= back_length)) {
    walk = std::move(forward);
  } else if (backward_ok) {
    walk = std::move(backward);
  } else {
    return false;
  }
  return true;
}

std::vector<Chain> Serpentines(const std::vector<LineSegment>& pieces, const Paths& region,
                               double max_link, bool& refused) {
  std::vector<Chain> chains;
  const std::size_t n = pieces.size();
  std::size_t edges = 0;
  for (const Path& p : region) edges += p.size();
  if (static_cast<double>(n) * static_cast<double>(edges) > kMaxEdgeWork) {
    refused = true;  // every link is checked against every border edge
    return chains;
  }
  // Index ranges of each line (pieces are sorted by k, then t0).
  std::vector<std::size_t> line_start;
  for (std::size_t i = 0; i < n; ++i) {
    if (i == 0 || pieces[i].k != pieces[i - 1].k) line_start.push_back(i);
  }
  line_start.push_back(n);
  std::vector<std::size_t> line_of(n);
  for (std::size_t l = 0; l + 1 < line_start.size(); ++l) {
    for (std::size_t i = line_start[l]; i < line_start[l + 1]; ++i) line_of[i] = l;
  }
  const double max_link2 = max_link * max_link;

  std::vector<bool> used(n, false);
  for (std::size_t i = 0; i < n; ++i) {
    if (used[i]) continue;
    used[i] = true;
    Chain chain;
    chain.points = {pieces[i].a, pieces[i].b};
    std::size_t cur = i;
    bool forward = true;  // the piece just added runs along +t
    for (;;) {
      const std::size_t next_line = line_of[cur] + 1;
      if (next_line + 1 >= line_start.size()) break;
      if (pieces[line_start[next_line]].k != pieces[cur].k + 1) break;  // a missing line
      const IntPoint end = chain.points.back();
      std::size_t best = n;
      double best_d = std::numeric_limits<double>::infinity();
      for (std::size_t j = line_start[next_line]; j < line_start[next_line + 1]; ++j) {
        if (used[j]) continue;
        const IntPoint& entry = forward ? pieces[j].b : pieces[j].a;  // the next runs back
        const double ex = static_cast<double>(entry.X - end.X);
        const double ey = static_cast<double>(entry.Y - end.Y);
        const double d = ex * ex + ey * ey;
        if (d < best_d) best = j, best_d = d;
      }
      if (best == n || best_d > max_link2) break;
      const LineSegment& s = pieces[best];
      const IntPoint entry = forward ? s.b : s.a, exit = forward ? s.a : s.b;
      // Along the border where it is short enough, else straight if that stays inside.
      Path walk;
      if (!BorderWalk(region, end, entry, max_link, walk) && !LinkInside(region, end, entry)) {
        break;
      }
      used[best] = true;
      chain.points.insert(chain.points.end(), walk.begin(), walk.end());
      if (!(entry == end)) chain.points.push_back(entry);
      chain.points.push_back(exit);
      cur = best;
      forward = !forward;
    }
    chains.push_back(std::move(chain));
  }
  return chains;
}

namespace {

// Pieces as drawn segments; `reverse_odd` alternates the direction with the
// parity of `k / period` (a serpentine), otherwise all run along +t.
void AppendSegments(const std::vector<LineSegment>& pieces, bool reverse_odd, long long period,
                    std::vector<Segment>& out) {
  for (const LineSegment& s : pieces) {
    const long long row = s.k >= 0 ? s.k / period : -((-s.k + period - 1) / period);
    const bool reversed = reverse_odd && (row & 1) != 0;
    out.push_back(reversed ? Segment{s.b, s.a} : Segment{s.a, s.b});
  }
}

}  // namespace

void HatchLines(const Paths& region, const Family& family, int style, double max_link,
                PatternOutput& out) {
  if (out.refused) return;
  std::vector<LineSegment> pieces = ScanFamily(region, family, out.refused);
  if (out.refused) return;
  // Each family starts where the previous output ended, the first where its
  // lowest line starts in the style's direction.
  bool started = !out.segments.empty();
  IntPoint pen = started ? out.segments.back().b : IntPoint();
  auto order = [&](std::vector<Segment>& segments) {
    if (!started && !segments.empty()) pen = segments.front().a, started = true;
    OrderSegments(segments, pen);
  };

  switch (style) {
    case 2: {  // serpentine connected
      std::vector<Chain> chains = Serpentines(pieces, region, max_link, out.refused);
      if (out.refused) return;
      std::size_t vertices = 0;
      for (const Chain& c : chains) vertices += c.points.size();
      if (vertices > kMaxVerticesPerCharacter) {
        out.refused = true;
        return;
      }
      IntPoint chain_pen = !out.chains.empty() && !out.chains.back().points.empty()
                               ? out.chains.back().points.back()
                           : !pieces.empty() ? pieces.front().a
                                             : pen;
      OrderChains(chains, chain_pen);
      out.chains.insert(out.chains.end(), std::make_move_iterator(chains.begin()),
                        std::make_move_iterator(chains.end()));
      return;
    }
    case 3: {  // double: this family and one at +90 degrees, each a serpentine
      std::vector<Segment> first_family;
      AppendSegments(pieces, true, 1, first_family);
      order(first_family);
      Family cross = family;
      cross.angle += std::numbers::pi / 2;
      std::vector<LineSegment> cross_pieces = ScanFamily(region, cross, out.refused);
      if (out.refused || first_family.size() + cross_pieces.size() > kMaxSegmentsPerCharacter) {
        out.refused = true;
        return;
      }
      std::vector<Segment> second;
      AppendSegments(cross_pieces, true, 1, second);
      order(second);
      out.segments.insert(out.segments.end(), first_family.begin(), first_family.end());
      out.segments.insert(out.segments.end(), second.begin(), second.end());
      return;
    }
    case 4:
    case 5: {  // passes: lines k mod N, pass after pass, each pass a serpentine
      const long long passes = style == 4 ? 2 : 3;
      for (long long pass = 0; pass < passes; ++pass) {
        std::vector<LineSegment> subset;
        for (const LineSegment& s : pieces) {
          if (((s.k % passes) + passes) % passes == pass) subset.push_back(s);
        }
        std::vector<Segment> segments;
        AppendSegments(subset, true, passes, segments);
        order(segments);
        out.segments.insert(out.segments.end(), segments.begin(), segments.end());
      }
      return;
    }
    default: {  // 0 unidirectional (also any unknown style), 1 serpentine
      std::vector<Segment> segments;
      AppendSegments(pieces, style == 1, 1, segments);
      order(segments);
      out.segments.insert(out.segments.end(), segments.begin(), segments.end());
      return;
    }
  }
}

}  // namespace qelhatching
