// Whether a character's rings may stand for their nonzero union in a scanline cut, so that a
// region hatched with parallel lines only can skip the union (a third of a line-hatched job).
//
// The union keeps the edges that separate a winding of zero from a non-zero one and drops
// the rest; where no two edges meet, it adds no vertex, and it drops each vertex that lies
// on the line between its neighbours. Rings straightened the same way then have the union's
// edges and more: a line crosses them where it crosses the union's edges, and the cut's
// pairing, which only asks whether the winding is zero, starts and ends the same pieces at
// the same points. A ring the union drops lies inside the filled area, and its crossings
// move the winding between non-zero values.
#include <algorithm>
#include <cstdint>

#include "HatchFill.h"

namespace qelhatching {

namespace {

struct Edge {
  IntPoint a, b;
  cInt min_y, max_y, min_x, max_x;
  std::uint32_t id, next;  // this edge and the one after it in its ring, numbered over all rings
};

// On the segment pq, given that it is on its line.
bool Within(const IntPoint& p, const IntPoint& q, const IntPoint& v) {
  return std::min(p.X, q.X) <= v.X && v.X <= std::max(p.X, q.X) && std::min(p.Y, q.Y) <= v.Y &&
         v.Y <= std::max(p.Y, q.Y);
}

// Whether the closed segments meet at all, a touch included.
bool Meet(const Edge& e, const Edge& f) {
  const int o1 = Turn(e.a, e.b, f.a), o2 = Turn(e.a, e.b, f.b);
  const int o3 = Turn(f.a, f.b, e.a), o4 = Turn(f.a, f.b, e.b);
  if (o1 * o2 < 0 && o3 * o4 < 0) return true;
  return (o1 == 0 && Within(e.a, e.b, f.a)) || (o2 == 0 && Within(e.a, e.b, f.b)) ||
         (o3 == 0 && Within(f.a, f.b, e.a)) || (o4 == 0 && Within(f.a, f.b, e.b));
}

// Whether b lies strictly between a and c, given the three on one line.
bool Between(const IntPoint& a, const IntPoint& b, const IntPoint& c) {
  return (b.X - a.X) * (c.X - b.X) + (b.Y - a.Y) * (c.Y - b.Y) > 0;
}

// Drops each vertex that lies between its neighbours on their line, as the union does. False
// for a vertex repeated, a spike (a vertex on its neighbours' line but not between them) or
// fewer than three vertices left.
bool Straighten(Path& ring) {
  if (ring.size() > 1 && ring.back() == ring.front()) ring.pop_back();  // the closing vertex
  Path out;
  out.reserve(ring.size());
  for (const IntPoint& v : ring) {
    if (!out.empty() && out.back() == v) return false;
    out.push_back(v);
    while (out.size() >= 3) {
      const std::size_t n = out.size();
      if (Turn(out[n - 3], out[n - 2], out[n - 1]) != 0) break;
      if (!Between(out[n - 3], out[n - 2], out[n - 1])) return false;
      out.erase(out.end() - 2);
    }
  }
  // Across the seam: the last vertex between its neighbour and the first, the first between
  // the last and the second.
  while (out.size() >= 3) {
    const std::size_t n = out.size();
    if (Turn(out[n - 2], out[n - 1], out[0]) == 0) {
      if (!Between(out[n - 2], out[n - 1], out[0])) return false;
      out.pop_back();
    } else if (Turn(out[n - 1], out[0], out[1]) == 0) {
      if (!Between(out[n - 1], out[0], out[1])) return false;
      out.erase(out.begin());
    } else {
      break;
    }
  }
  if (out.size() < 3 || out.back() == out.front()) return false;
  ring = std::move(out);
  return true;
}

}  // namespace

bool RingsCutAsTheirUnion(const Paths& rings, Paths& straightened) {
  if (rings.empty()) return false;
  Paths bare = rings;
  std::size_t vertices = 0;
  for (const Path& ring : rings) vertices += ring.size();
  if (vertices >= UINT32_MAX) return false;  // the edges are numbered in 32 bits
  std::vector<Edge> edges;
  edges.reserve(vertices);
  for (Path& ring : bare) {
    if (!Straighten(ring)) return false;
    const std::size_t n = ring.size();
    const auto first = static_cast<std::uint32_t>(edges.size());
    for (std::size_t i = 0; i < n; ++i) {
      const IntPoint& a = ring[i];
      const IntPoint& b = i + 1 < n ? ring[i + 1] : ring[0];
      const auto id = static_cast<std::uint32_t>(edges.size());
      edges.push_back(Edge{a, b, std::min(a.Y, b.Y), std::max(a.Y, b.Y), std::min(a.X, b.X),
                           std::max(a.X, b.X), id, i + 1 < n ? id + 1 : first});
    }
  }
  std::sort(edges.begin(), edges.end(),
            [](const Edge& x, const Edge& y) { return x.min_y < y.min_y; });
  // Each edge against the later ones whose height range reaches its own. Glyphs keep this
  // near linear; a region where it would not (many long edges side by side) takes the
  // union instead, as it would without this test.
  const std::size_t budget = 64 * edges.size() + 4096;
  std::size_t work = 0;
  for (std::size_t i = 0; i < edges.size(); ++i) {
    const Edge& e = edges[i];
    for (std::size_t j = i + 1; j < edges.size() && edges[j].min_y <= e.max_y; ++j) {
      if (++work > budget) return false;
      const Edge& f = edges[j];
      if (f.max_x < e.min_x || f.min_x > e.max_x) continue;
      // Neighbours share a vertex; straightened, they share nothing else.
      if (e.next == f.id || f.next == e.id) continue;
      if (Meet(e, f)) return false;
    }
  }
  straightened = std::move(bare);
  return true;
}

}  // namespace qelhatching
