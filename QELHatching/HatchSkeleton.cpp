// The centre line of a thin piece that forks: the inner part of the Voronoi
// diagram of its edges (its medial axis), which runs down every arm at once.
//
// Boost.Polygon builds the diagram of the piece's segments exactly, in 32-bit
// integer coordinates; Clipper's units fit them, since a character's extent is
// bounded by kMaxExtentUnits.
#include <boost/polygon/segment_data.hpp>
#include <boost/polygon/voronoi.hpp>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <map>
#include <utility>

#include "HatchFill.h"

namespace qelhatching {

namespace {

namespace bp = boost::polygon;
using Diagram = bp::voronoi_diagram<double>;
using Segment2 = bp::segment_data<std::int32_t>;

bool Fits(const IntPoint& p) {
  constexpr cInt kLimit = std::numeric_limits<std::int32_t>::max();
  return p.X > -kLimit && p.X < kLimit && p.Y > -kLimit && p.Y < kLimit;
}

bool InsidePiece(const Paths& piece, double x, double y) {
  const IntPoint p(std::llround(x), std::llround(y));
  if (ClipperLib::PointInPolygon(p, piece[0]) != 1) return false;
  for (std::size_t h = 1; h < piece.size(); ++h) {
    if (ClipperLib::PointInPolygon(p, piece[h]) != 0) return false;
  }
  return true;
}

}  // namespace

std::vector<Path> Skeleton(const Paths& piece, double clearance) {
  if (piece.empty()) return {};
  std::vector<Segment2> segments;
  std::vector<std::pair<IntPoint, IntPoint>> ends;
  for (const Path& contour : piece) {
    for (std::size_t i = 0; i < contour.size(); ++i) {
      const IntPoint& a = contour[i];
      const IntPoint& b = contour[(i + 1) % contour.size()];
      if (!Fits(a) || !Fits(b)) return {};
      if (a == b) continue;
      segments.emplace_back(bp::point_data<std::int32_t>(static_cast<std::int32_t>(a.X),
                                                         static_cast<std::int32_t>(a.Y)),
                            bp::point_data<std::int32_t>(static_cast<std::int32_t>(b.X),
                                                         static_cast<std::int32_t>(b.Y)));
      ends.emplace_back(a, b);
    }
  }
  if (segments.size() < 3) return {};
  Diagram diagram;
  bp::construct_voronoi(segments.begin(), segments.end(), &diagram);

  // The inner edges, each once: both ends inside the piece and at least
  // `clearance` from its border. That drops the edges running out to the
  // border's corners and leaves the axis down the middle of every arm.
  const auto clear = [&](const Diagram::vertex_type* v, const Diagram::cell_type* cell) {
    return std::sqrt(SegmentDistance2(v->x(), v->y(), ends[cell->source_index()].first,
                                      ends[cell->source_index()].second));
  };
  std::map<const Diagram::vertex_type*, std::size_t> node;
  std::vector<IntPoint> points;
  std::vector<double> clearances;  // of each point, Clipper units
  std::vector<std::pair<std::size_t, std::size_t>> edges;
  std::vector<bool> alive;
  std::vector<std::vector<std::size_t>> at_point;  // edges meeting at each point
  const auto id = [&](const Diagram::vertex_type* v, double clearance_here) {
    const auto [it, added] = node.emplace(v, points.size());
    if (added) {
      points.emplace_back(std::llround(v->x()), std::llround(v->y()));
      clearances.push_back(clearance_here);
      at_point.emplace_back();
    }
    return it->second;
  };
  for (const Diagram::edge_type& edge : diagram.edges()) {
    if (!edge.is_primary() || !edge.is_finite() || &edge > edge.twin()) continue;
    const Diagram::vertex_type* a = edge.vertex0();
    const Diagram::vertex_type* b = edge.vertex1();
    const double clear_a = clear(a, edge.cell()), clear_b = clear(b, edge.cell());
    if (clear_a < clearance || clear_b < clearance) continue;
    if (!InsidePiece(piece, a->x(), a->y()) || !InsidePiece(piece, b->x(), b->y()) ||
        !InsidePiece(piece, 0.5 * (a->x() + b->x()), 0.5 * (a->y() + b->y()))) {
      continue;
    }
    const std::size_t i = id(a, clear_a), j = id(b, clear_b);
    if (points[i] == points[j]) continue;
    at_point[i].push_back(edges.size());
    at_point[j].push_back(edges.size());
    edges.emplace_back(i, j);
    alive.push_back(true);
  }
  const auto degree = [&](std::size_t i) {
    return std::count_if(at_point[i].begin(), at_point[i].end(),
                         [&](std::size_t e) { return alive[e]; });
  };
  const auto other = [&](std::size_t e, std::size_t i) {
    return edges[e].first == i ? edges[e].second : edges[e].first;
  };
  // The next edge along from point `i`, not `from`: the only other live one.
  const auto next_edge = [&](std::size_t i, std::size_t from) {
    for (const std::size_t e : at_point[i]) {
      if (alive[e] && e != from) return e;
    }
    return from;
  };
  const auto length = [&](std::size_t e) {
    const IntPoint& p = points[edges[e].first];
    const IntPoint& q = points[edges[e].second];
    return std::hypot(static_cast<double>(q.X - p.X), static_cast<double>(q.Y - p.Y));
  };

  // Spurs: an arm from a fork to an end shorter than twice the clearance at the
  // fork only reaches into a corner of the piece, which the line's own width
  // covers; the arms that carry on down the piece stay.
  for (bool pruned = true; pruned;) {
    pruned = false;
    for (std::size_t start = 0; start < points.size(); ++start) {
      if (degree(start) != 1) continue;
      std::vector<std::size_t> arm;
      std::size_t at = start, e = next_edge(start, edges.size());
      double run = 0;
      while (true) {
        arm.push_back(e);
        run += length(e);
        at = other(e, at);
        if (degree(at) != 2) break;
        e = next_edge(at, e);
      }
      if (degree(at) >= 3 && run < 2 * clearances[at]) {
        for (const std::size_t k : arm) alive[k] = false;
        pruned = true;
      }
    }
  }

  // Chained into lines between the ends and forks of the graph; what is left
  // are loops (a piece round holes).
  std::vector<Path> lines;
  const auto walk = [&](std::size_t start, std::size_t e) {
    Path line{points[start]};
    std::size_t at = start;
    while (true) {
      alive[e] = false;
      at = other(e, at);
      line.push_back(points[at]);
      if (at == start || degree(at) != 1) break;  // an end, a fork or round again
      e = next_edge(at, edges.size());
    }
    return line;
  };
  for (int pass = 0; pass < 2; ++pass) {
    for (std::size_t i = 0; i < points.size(); ++i) {
      if (pass == 0 && degree(i) == 2) continue;
      for (const std::size_t e : at_point[i]) {
        if (alive[e]) lines.push_back(walk(i, e));
      }
    }
  }
  return lines;
}

}  // namespace qelhatching
