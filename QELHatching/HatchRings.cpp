// Contour-parallel rings and the spirals built from them.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
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

namespace {

double SegmentDistance2(const IntPoint& p, const IntPoint& a, const IntPoint& b) {
  const double px = static_cast<double>(p.X), py = static_cast<double>(p.Y);
  const double ax = static_cast<double>(a.X), ay = static_cast<double>(a.Y);
  const double ex = static_cast<double>(b.X) - ax, ey = static_cast<double>(b.Y) - ay;
  const double len2 = ex * ex + ey * ey;
  double t = len2 > 0 ? ((px - ax) * ex + (py - ay) * ey) / len2 : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  const double dx = ax + t * ex - px, dy = ay + t * ey - py;
  return dx * dx + dy * dy;
}

double PathDistance2(const IntPoint& p, const Path& path) {
  double best = std::numeric_limits<double>::infinity();
  for (std::size_t i = 0; i < path.size(); ++i) {
    best = std::min(best, SegmentDistance2(p, path[i], path[(i + 1) % path.size()]));
  }
  return best;
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
  const IntPoint& a = path[best];
  const IntPoint& b = path[(best + 1) % path.size()];
  const double ex = static_cast<double>(b.X - a.X), ey = static_cast<double>(b.Y - a.Y);
  const double len2 = ex * ex + ey * ey;
  double t =
      len2 > 0 ? (static_cast<double>(p.X - a.X) * ex + static_cast<double>(p.Y - a.Y) * ey) / len2
               : 0.0;
  t = std::clamp(t, 0.0, 1.0);
  return {best, IntPoint(a.X + static_cast<cInt>(std::llround(t * ex)),
                         a.Y + static_cast<cInt>(std::llround(t * ey)))};
}

struct Node {
  std::size_t level = 0, index = 0;
  bool outer = true;
  std::size_t parent = SIZE_MAX;
  std::vector<std::size_t> children;
};

}  // namespace

std::vector<Chain> Spirals(const std::vector<Paths>& levels, const Paths& region, bool inside_out,
                           bool connect, const IntPoint& pen_start, bool& refused) {
  // Matching rings level to level compares each ring with every vertex of the
  // level before; bounded so that a character of countless islands cannot hang.
  double work = 0;
  for (std::size_t l = 1; l < levels.size(); ++l) {
    std::size_t before = 0;
    for (const Path& p : levels[l - 1]) before += p.size();
    work += static_cast<double>(levels[l].size()) * static_cast<double>(before);
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
    // The run's spiral, broken where a step to the next ring would leave the region.
    std::vector<Chain> pieces(1);
    for (std::size_t node : runs[best]) {
      const Path& ring = ring_of(node);
      const auto [edge, entry] = NearestPoint(ring, pen);
      if (!pieces.back().points.empty() &&
          !LinkInside(region, pieces.back().points.back(), entry)) {
        pieces.emplace_back();
      }
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
