// Contour-parallel rings and the spirals built from them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <utility>

#include "HatchFill.h"

namespace qelhatching {

bool Rings(const Paths& region, double gap, int sign, long long count, const OffsetSetup& setup,
           std::vector<Paths>& levels) {
  levels.clear();
  if (!(gap > 0) || region.empty() || count == 0) return true;
  if (count > static_cast<long long>(kMaxRingsPerCharacter)) return false;
  if (count < 0) {
    // Until the region is used up: no more levels than half its smaller side
    // holds gaps, so a gap far too small is refused before any work.
    cInt min_x = region[0][0].X, max_x = min_x, min_y = region[0][0].Y, max_y = min_y;
    for (const Path& path : region) {
      for (const IntPoint& p : path) {
        min_x = std::min(min_x, p.X), max_x = std::max(max_x, p.X);
        min_y = std::min(min_y, p.Y), max_y = std::max(max_y, p.Y);
      }
    }
    const double side = static_cast<double>(std::min(max_x - min_x, max_y - min_y));
    if (side / 2 / gap > static_cast<double>(kMaxRingsPerCharacter)) return false;
  }
  Paths current = region;
  std::size_t vertices = 0;
  for (long long level = 1; count < 0 || level <= count; ++level) {
    current = OffsetPaths(current, sign * gap, setup);
    KeepApartWhenRounded(current, setup);
    if (current.empty()) break;
    std::size_t ring = 0;
    for (const Path& p : current) ring += p.size();
    vertices += ring;
    if (ring > kMaxVerticesPerRing || vertices > kMaxVerticesPerCharacter ||
        levels.size() >= kMaxRingsPerCharacter) {
      levels.clear();
      return false;
    }
    levels.push_back(current);
  }
  return true;
}

double SegmentDistance2(double px, double py, const IntPoint& a, const IntPoint& b) {
  const double ax = static_cast<double>(a.X), ay = static_cast<double>(a.Y);
  const double ex = static_cast<double>(b.X) - ax, ey = static_cast<double>(b.Y) - ay;
  const double len2 = ex * ex + ey * ey;
  double t = len2 > 0 ? ((px - ax) * ex + (py - ay) * ey) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double dx = ax + t * ex - px, dy = ay + t * ey - py;
  return dx * dx + dy * dy;
}

namespace {

double SegmentDistance2(const IntPoint& p, const IntPoint& a, const IntPoint& b) {
  return qelhatching::SegmentDistance2(static_cast<double>(p.X), static_cast<double>(p.Y), a, b);
}

double PathDistance2(const IntPoint& p, const Path& path) {
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < path.size(); ++i) {
    best = std::min(best, SegmentDistance2(p, path[i], path[(i + 1) % path.size()]));
  }
  return best;
}

// The point of `ring` nearest to `p` on edge i (from vertex i to vertex i + 1),
// rounded to the grid.
IntPoint PointOnEdge(const Path& ring, std::size_t i, const IntPoint& p) {
  const IntPoint& a = ring[i];
  const IntPoint& b = ring[(i + 1) % ring.size()];
  const double ex = static_cast<double>(b.X - a.X), ey = static_cast<double>(b.Y - a.Y);
  const double len2 = ex * ex + ey * ey;
  double t =
      len2 > 0 ? (static_cast<double>(p.X - a.X) * ex + static_cast<double>(p.Y - a.Y) * ey) / len2
               : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return IntPoint(a.X + static_cast<cInt>(std::llround(t * ex)),
                  a.Y + static_cast<cInt>(std::llround(t * ey)));
}

// The point of the closed path nearest to `p` (rounded to the grid) and the
// edge it lies on (from vertex i to vertex i + 1).
std::pair<std::size_t, IntPoint> NearestPoint(const Path& path, const IntPoint& p) {
  std::size_t best = 0;
  double best_d = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < path.size(); ++i) {
    const double d = SegmentDistance2(p, path[i], path[(i + 1) % path.size()]);
    if (d < best_d) best = i, best_d = d;
  }
  return {best, PointOnEdge(path, best, p)};
}

// Edges of the next ring tried, nearest first, for a step that stays in the band.
constexpr std::size_t kStepCandidates = 8;

// True when a vertex of `paths` lies within `clearance` of the inside of the
// segment a-b, apart from those within twice that of either end: a step that
// grazes a ring so closely would cross it once the host rounds the points.
bool Grazes(const Paths& paths, const IntPoint& a, const IntPoint& b, double clearance) {
  const double ax = static_cast<double>(a.X), ay = static_cast<double>(a.Y);
  const double dx = static_cast<double>(b.X) - ax, dy = static_cast<double>(b.Y) - ay;
  const double len2 = dx * dx + dy * dy;
  if (len2 == 0) return false;
  const double near2 = 4 * clearance * clearance;
  for (const Path& path : paths) {
    for (const IntPoint& v : path) {
      const double vx = static_cast<double>(v.X) - ax, vy = static_cast<double>(v.Y) - ay;
      const double t = (vx * dx + vy * dy) / len2;
      if (t <= 0 || t >= 1) continue;
      const double bx = vx - dx, by = vy - dy;
      if (vx * vx + vy * vy < near2 || bx * bx + by * by < near2) continue;
      const double cross = vx * dy - vy * dx;
      if (cross * cross < clearance * clearance * len2) return true;
    }
  }
  return false;
}

// Where a spiral enters `ring` from `pen`, a point of the ring one level
// further: the nearest point whose straight step, at most `max_step` long,
// stays in `band` (the rings of both levels and the centre lines between
// them, so the step crosses none of them and runs between them) and keeps
// `clearance` from their vertices. The nearest few edges are tried; `inside`
// is false when none of them serves, and the spiral has to break there.
struct Step {
  std::size_t edge = 0;
  IntPoint entry;
  bool inside = false;
};
Step StepTo(const Path& ring, const IntPoint& pen, const Paths& band, double max_step,
            double clearance) {
  std::vector<std::pair<double, std::size_t>> edges;
  edges.reserve(ring.size());
  for (std::size_t i = 0; i < ring.size(); ++i) {
    edges.emplace_back(SegmentDistance2(pen, ring[i], ring[(i + 1) % ring.size()]), i);
  }
  const std::size_t tried = std::min(kStepCandidates, edges.size());
  std::partial_sort(edges.begin(), edges.begin() + static_cast<std::ptrdiff_t>(tried), edges.end());
  for (std::size_t c = 0; c < tried && edges[c].first <= max_step * max_step; ++c) {
    const IntPoint q = PointOnEdge(ring, edges[c].second, pen);
    if (LinkInside(band, pen, q) && !Grazes(band, pen, q, clearance)) {
      return {edges[c].second, q, true};
    }
  }
  return {edges[0].second, PointOnEdge(ring, edges[0].second, pen), false};
}

struct Node {
  std::size_t level = 0, index = 0;
  bool outer = true;
  std::size_t parent = SIZE_MAX;
  std::vector<std::size_t> children;
};

}  // namespace

std::vector<Chain> Spirals(const std::vector<Paths>& levels,
                           const std::vector<std::vector<Path>>& centres, const Paths& region,
                           const SpiralSetup& setup, const IntPoint& pen_start, bool& refused) {
  const bool inside_out = setup.inside_out, connect = setup.connect;
  // Matching rings level to level compares each ring with every vertex of the
  // level before; bounded so that a character of countless islands cannot hang.
  // Each step checks a few candidates against the rings of two levels.
  double work = 0;
  for (std::size_t l = 1; l < levels.size(); ++l) {
    std::size_t before = 0, here = 0;
    for (const Path& p : levels[l - 1]) before += p.size();
    for (const Path& p : levels[l]) here += p.size();
    work += static_cast<double>(levels[l].size()) * static_cast<double>(before) +
            static_cast<double>(kStepCandidates * levels[l].size()) *
                static_cast<double>(before + here);
  }
  if (work > kMaxEdgeWork) {
    refused = true;
    return {};
  }
  // The ring tree: each ring's parent is the nearest ring of the same kind
  // (outer contour or hole) one level out. Rings shrink inwards and holes grow,
  // so every ring but the first level has one.
  std::vector<Node> nodes;
  std::vector<std::size_t> level_first;
  for (std::size_t l = 0; l < levels.size(); ++l) {
    level_first.push_back(nodes.size());
    for (std::size_t i = 0; i < levels[l].size(); ++i) {
      if (levels[l][i].size() < 3) continue;
      Node node;
      node.level = l, node.index = i;
      node.outer = ClipperLib::Orientation(levels[l][i]);
      if (l > 0) {
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t q = level_first[l - 1]; q < level_first[l]; ++q) {
          if (nodes[q].outer != node.outer) continue;
          const double d = PathDistance2(levels[l][i][0], levels[l - 1][nodes[q].index]);
          if (d < best) best = d, node.parent = q;
        }
      }
      nodes.push_back(std::move(node));
      if (nodes.back().parent != SIZE_MAX) {
        nodes[nodes.back().parent].children.push_back(nodes.size() - 1);
      }
    }
  }

  // A spiral runs down an unbranched run of the tree: it starts at a root or
  // below a fork, and goes on while its ring has exactly one child.
  std::vector<std::vector<std::size_t>> runs;
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    const std::size_t parent = nodes[n].parent;
    if (parent != SIZE_MAX && nodes[parent].children.size() == 1) continue;
    std::vector<std::size_t> run{n};
    while (nodes[run.back()].children.size() == 1) run.push_back(nodes[run.back()].children[0]);
    if (inside_out) std::reverse(run.begin(), run.end());
    runs.push_back(std::move(run));
  }
  auto ring_of = [&](std::size_t node) -> const Path& {
    return levels[nodes[node].level][nodes[node].index];
  };

  // Runs in travel order: next comes the run whose first ring passes nearest
  // to the pen. Each ring is entered at its vertex nearest to where the last
  // one closed, and drawn round to that vertex again.
  std::vector<Chain> spirals;
  std::vector<bool> done(runs.size(), false);
  IntPoint pen = pen_start;
  std::size_t first_ring_vertices = 0;
  for (const auto& run : runs) first_ring_vertices += ring_of(run[0]).size();
  const bool nearest =
      runs.size() <= kMaxNearestNeighbourItems &&
      static_cast<double>(runs.size()) * static_cast<double>(first_ring_vertices) <=
          kMaxOrderingWork;
  for (std::size_t count = 0; count < runs.size(); ++count) {
    std::size_t best = count;  // without the search, the tree's own order
    double best_d = std::numeric_limits<double>::infinity();
    for (std::size_t r = 0; nearest && r < runs.size(); ++r) {
      if (done[r]) continue;
      const Path& ring = ring_of(runs[r][0]);
      const IntPoint v = NearestPoint(ring, pen).second;
      const double dx = static_cast<double>(v.X - pen.X), dy = static_cast<double>(v.Y - pen.Y);
      if (dx * dx + dy * dy < best_d) best = r, best_d = dx * dx + dy * dy;
    }
    done[best] = true;
    // The run's spiral, broken where no step to the next ring stays in the
    // band between the two rings' levels (a step across the glyph would cross
    // other rings, or come too close to the outline).
    std::vector<Chain> pieces(1);
    std::size_t previous_level = 0;
    for (std::size_t node : runs[best]) {
      const Path& ring = ring_of(node);
      std::size_t edge = 0;
      IntPoint entry;
      if (pieces.back().points.empty()) {
        std::tie(edge, entry) = NearestPoint(ring, pen);
      } else {
        Paths band = levels[previous_level];
        const Paths& next = levels[nodes[node].level];
        band.insert(band.end(), next.begin(), next.end());
        // The centre lines between the two levels are walls too: each goes in
        // there and back, a closed path of no area.
        for (const Path& line : centres[std::min(previous_level, nodes[node].level)]) {
          Path wall = line;
          wall.insert(wall.end(), line.rbegin() + 1, line.rend() - 1);
          band.push_back(std::move(wall));
        }
        const Step step = StepTo(ring, pen, band, 2 * setup.gap, setup.resolution);
        edge = step.edge, entry = step.entry;
        if (!step.inside) pieces.emplace_back();
      }
      previous_level = nodes[node].level;
      Path& path = pieces.back().points;
      auto add = [&path](const IntPoint& q) {
        if (path.empty() || !(path.back() == q)) path.push_back(q);
      };
      add(entry);
      for (std::size_t i = 1; i <= ring.size(); ++i) add(ring[(edge + i) % ring.size()]);
      add(entry);  // round to where the ring was entered
      pen = entry;
    }
    for (Chain& piece : pieces) {
      piece.reversible = false;  // the style decides which end comes first
      // One path through the tree where the straight link from the last
      // spiral stays inside the region; elsewhere the path has to break.
      if (connect && !spirals.empty() &&
          LinkInside(region, spirals.back().points.back(), piece.points.front())) {
        Path& path = spirals.back().points;
        path.insert(path.end(), piece.points.begin(), piece.points.end());
      } else {
        spirals.push_back(std::move(piece));
      }
    }
  }
  return spirals;
}

}  // namespace qelhatching

namespace qelhatching {

namespace {

double PathLength(const Path& path) {
  double length = 0;
  for (std::size_t i = 1; i < path.size(); ++i) {
    length += std::hypot(static_cast<double>(path[i].X - path[i - 1].X),
                         static_cast<double>(path[i].Y - path[i - 1].Y));
  }
  return length;
}

// `count` + 1 points evenly spaced along the open path, ends included.
std::vector<std::pair<double, double>> Resample(const Path& path, std::size_t count) {
  // Each edge's length once: a fine sampling of a long strip visits an edge
  // for many points.
  std::vector<double> edges(path.size() > 1 ? path.size() - 1 : 1, 0.0);
  double length = 0;
  for (std::size_t i = 1; i < path.size(); ++i) {
    edges[i - 1] = std::hypot(static_cast<double>(path[i].X - path[i - 1].X),
                              static_cast<double>(path[i].Y - path[i - 1].Y));
    length += edges[i - 1];
  }
  std::vector<std::pair<double, double>> out;
  out.reserve(count + 1);
  std::size_t edge = 0;
  double done = 0;  // length of the edges before `edge`
  for (std::size_t i = 0; i <= count; ++i) {
    const double at = length * static_cast<double>(i) / static_cast<double>(count);
    while (edge + 2 < path.size()) {
      if (done + edges[edge] >= at) break;
      done += edges[edge], ++edge;
    }
    const IntPoint& a = path[edge];
    const IntPoint& b = path[std::min(edge + 1, path.size() - 1)];
    const double e = edges[edge];
    const double t = e > 0 ? std::clamp((at - done) / e, 0.0, 1.0) : 0.0;
    out.emplace_back(static_cast<double>(a.X) + t * static_cast<double>(b.X - a.X),
                     static_cast<double>(a.Y) + t * static_cast<double>(b.Y - a.Y));
  }
  return out;
}

// The line halfway between two sides of a thin strip, each given from the
// same end to the same other end: points at equal shares of their lengths
// averaged, about `spacing` apart and never nearer than `min_step` (where the
// sides' shares drift apart, closer points would zigzag within the host's
// rounding and cross there). The samples come out of `budget`; a line that
// would take more than is left is not drawn, and the budget is spent.
Path Midline(const Path& one, const Path& other, double spacing, double min_step,
             std::size_t& budget) {
  const double length = std::max(PathLength(one), PathLength(other));
  const auto count = static_cast<std::size_t>(std::clamp(length / spacing, 1.0, 1e5));
  if (count >= budget) {
    budget = 0;
    return {};
  }
  budget -= count + 1;
  const auto a = Resample(one, count), b = Resample(other, count);
  Path line;
  for (std::size_t i = 0; i <= count; ++i) {
    const IntPoint q(static_cast<cInt>(std::llround((a[i].first + b[i].first) / 2)),
                     static_cast<cInt>(std::llround((a[i].second + b[i].second) / 2)));
    if (!line.empty() && std::hypot(static_cast<double>(q.X - line.back().X),
                                    static_cast<double>(q.Y - line.back().Y)) < min_step) {
      if (i < count || line.size() == 1) continue;
      line.back() = q;  // the end stays where the strip ends
      continue;
    }
    line.push_back(q);
  }
  // Where the line turns back within two units of itself the host's
  // rounding would cross it: those tips go.
  for (std::size_t i = 1; i + 1 < line.size();) {
    const IntPoint &a = line[i - 1], &b = line[i], &c = line[i + 1];
    const double ux = static_cast<double>(b.X - a.X), uy = static_cast<double>(b.Y - a.Y);
    const double wx = static_cast<double>(c.X - b.X), wy = static_cast<double>(c.Y - b.Y);
    const double base = std::hypot(ux + wx, uy + wy);
    if (ux * wx + uy * wy < 0 &&
        (base == 0 || std::fabs((ux + wx) * uy - (uy + wy) * ux) < min_step * base)) {
      line.erase(line.begin() + static_cast<std::ptrdiff_t>(i));
      if (i > 1) --i;
    } else {
      ++i;
    }
  }
  return line;
}

std::size_t Farthest(const Path& path, const IntPoint& from) {
  std::size_t best = 0;
  double best_d = -1;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const double dx = static_cast<double>(path[i].X - from.X);
    const double dy = static_cast<double>(path[i].Y - from.Y);
    if (dx * dx + dy * dy > best_d) best = i, best_d = dx * dx + dy * dy;
  }
  return best;
}

// True when a vertex of the closed path lies within `clearance` of an edge
// other than its own two. Paths longer than kMaxLoopCheck count as pinched.
bool Pinched(const Path& loop, double clearance) {
  const std::size_t n = loop.size();
  if (n > kMaxLoopCheck) return true;
  for (std::size_t i = 0; i < n; ++i) {
    for (std::size_t j = 0; j < n; ++j) {
      if (j == i || (j + 1) % n == i) continue;
      if (SegmentDistance2(loop[i], loop[j], loop[(j + 1) % n]) < clearance * clearance) {
        return true;
      }
    }
  }
  return false;
}

// The two sides of a strip without holes, split at its farthest-apart
// points, are about as long as each other; a fork makes one much longer. A
// strip round more than one hole forks too.
bool Branched(const ClipperLib::PolyNode& piece) {
  if (piece.Childs.size() > 1) return true;
  if (piece.Childs.size() == 1) return false;
  const Path& contour = piece.Contour;
  const std::size_t a = Farthest(contour, contour[0]);
  const std::size_t b = Farthest(contour, contour[a]);
  double one = 0, other = 0;
  for (std::size_t i = a; i != b; i = (i + 1) % contour.size()) {
    const IntPoint& p = contour[i];
    const IntPoint& q = contour[(i + 1) % contour.size()];
    one += std::hypot(static_cast<double>(q.X - p.X), static_cast<double>(q.Y - p.Y));
  }
  Path closed = contour;
  closed.push_back(contour.front());
  other = PathLength(closed) - one;
  return std::max(one, other) > 1.3 * std::min(one, other);
}

// The centre line of one thin piece: a strip without holes runs between its
// two farthest-apart points, its sides averaged; a strip round a hole (the
// last level of an "O") gives a closed line between its outer side and the hole.
Path PieceCentre(const ClipperLib::PolyNode& piece, double spacing, double min_step,
                 std::size_t& budget) {
  const Path& contour = piece.Contour;
  if (!piece.Childs.empty()) {
    Path hole = piece.Childs[0]->Contour;
    std::reverse(hole.begin(), hole.end());  // the same way round as the outer side
    std::rotate(hole.begin(),
                hole.begin() + static_cast<std::ptrdiff_t>(NearestPoint(hole, contour[0]).first),
                hole.end());
    Path outer = contour;
    outer.push_back(contour[0]);
    hole.push_back(hole[0]);
    return Midline(outer, hole, spacing, min_step, budget);
  }
  const std::size_t a = Farthest(contour, contour[0]);
  const std::size_t b = Farthest(contour, contour[a]);
  Path forward, backward;
  for (std::size_t i = a;; i = (i + 1) % contour.size()) {
    forward.push_back(contour[i]);
    if (i == b) break;
  }
  for (std::size_t i = a;; i = (i + contour.size() - 1) % contour.size()) {
    backward.push_back(contour[i]);
    if (i == b) break;
  }
  return Midline(forward, backward, spacing, min_step, budget);
}

}  // namespace

std::vector<Path> CentreLines(const Paths& outer, const Paths& inner, double gap,
                              const OffsetSetup& setup, std::size_t& budget) {
  const double resolution = setup.resolution;
  OffsetSetup round;
  round.join = ClipperLib::jtRound;
  round.arc_tolerance = setup.arc_tolerance;
  round.cleanup = true;
  // What rings `outer` and `inner` leave unmarked: deeper than half a gap
  // inside the one and farther than half a gap from the other.
  const Paths deep = OffsetPaths(outer, -gap / 2, round);
  if (deep.empty()) return {};
  ClipperLib::Clipper core;
  core.AddPaths(deep, ClipperLib::ptSubject, true);
  if (!inner.empty()) core.AddPaths(OffsetPaths(inner, gap / 2, round), ClipperLib::ptClip, true);
  ClipperLib::PolyTree tree;
  core.Execute(ClipperLib::ctDifference, tree, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
  Paths lines;
  for (const ClipperLib::PolyNode* node = tree.GetFirst(); node != nullptr;
       node = node->GetNext()) {
    // Pieces smaller than a square half a gap wide are the corners that
    // mitred rings keep and round margins cut off; the marks cover them.
    if (node->IsHole() || node->Contour.size() < 3 ||
        std::fabs(ClipperLib::Area(node->Contour)) < gap * gap / 4) {
      continue;
    }
    if (Branched(*node)) {
      // No averaged pair of sides runs down a strip that forks (the bar and
      // the arm of an "A"): its medial axis does, one line per arm.
      Paths piece{node->Contour};
      for (const ClipperLib::PolyNode* hole : node->Childs) piece.push_back(hole->Contour);
      std::vector<Path> axis = Skeleton(piece, 2 * resolution);
      if (!axis.empty() && !CrossWhenRounded(axis, setup)) {
        for (Path& line : axis) lines.push_back(std::move(line));
        continue;
      }
      // Where the axis's short edges would cross once rounded, the piece's own
      // outline marks it instead: a closed ring less than a gap wide, drawn one
      // output unit inside so that its sides stay apart where the strip is
      // narrowest. Where they still come within a unit of each other, the
      // averaged line serves.
      Paths loops = OffsetPaths(piece, -resolution, round);
      bool pinched = loops.empty();
      for (Path& loop : loops) {
        RemoveSpikes(loop, 2 * resolution);
        pinched = pinched || loop.size() < 3 || Pinched(loop, resolution);
      }
      if (!pinched) {
        for (Path& loop : loops) {
          loop.push_back(loop.front());
          lines.push_back(std::move(loop));
        }
        continue;
      }
    }
    Path line = PieceCentre(*node, gap / 8, 2 * resolution, budget);
    if (line.size() < 2) continue;
    RemoveLoops(line);
    // Kept inside its piece: the averaged sides of a bent piece may cut a
    // corner, and the piece keeps half a gap from both rings.
    ClipperLib::Clipper clip;
    clip.AddPath(line, ClipperLib::ptSubject, false);
    clip.AddPath(node->Contour, ClipperLib::ptClip, true);
    for (const ClipperLib::PolyNode* hole : node->Childs) {
      clip.AddPath(hole->Contour, ClipperLib::ptClip, true);
    }
    ClipperLib::PolyTree kept;
    clip.Execute(ClipperLib::ctIntersection, kept, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    Paths inside;
    ClipperLib::OpenPathsFromPolyTree(kept, inside);
    for (Path& piece : inside) {
      if (piece.size() >= 2) lines.push_back(std::move(piece));
    }
  }
  return lines;
}

}  // namespace qelhatching
