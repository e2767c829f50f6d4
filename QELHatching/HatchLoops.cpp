// Loops cut out of an open line (the centre line of a collapsing strip).
//
// The rule is quadratic as stated: each edge in turn is tested against every
// later edge, from the far end back, and the first that crosses it closes a
// loop. A strip's centre line is sampled at an eighth of the gap, so a long
// strip gives thousands of points, and the plain scan took three quarters of
// a fine helix fill. A grid of cells about an edge long finds the few edges
// that can cross the one in hand; the crossing chosen, its point and so the
// line are the same as the plain scan's.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "HatchFill.h"

namespace qelhatching {

namespace {

// The edges of a line filed by the cells their bounding boxes (padded by a
// unit, for the rounding of the crossing test) overlap. Each cell lists its
// edges in increasing order, so a search for the last crossing edge reads a
// cell from its end and stops at the first edge too early to count.
class EdgeGrid {
 public:
  explicit EdgeGrid(const Path& line) {
    const std::size_t edges = line.size() - 1;
    cInt min_x = line[0].X, max_x = min_x, min_y = line[0].Y, max_y = min_y;
    double length = 0;
    for (std::size_t i = 0; i < line.size(); ++i) {
      min_x = std::min(min_x, line[i].X), max_x = std::max(max_x, line[i].X);
      min_y = std::min(min_y, line[i].Y), max_y = std::max(max_y, line[i].Y);
      if (i > 0) {
        length += std::hypot(static_cast<double>(line[i].X - line[i - 1].X),
                             static_cast<double>(line[i].Y - line[i - 1].Y));
      }
    }
    origin_ = IntPoint(min_x - 1, min_y - 1);
    const double w = static_cast<double>(max_x - min_x) + 2;
    const double h = static_cast<double>(max_y - min_y) + 2;
    // About an edge long, and no finer than four cells per edge over the box.
    cell_ = std::max({length / static_cast<double>(edges),
                      std::sqrt(w * h / (4.0 * static_cast<double>(edges))), 1.0});
    cols_ = static_cast<std::size_t>(w / cell_) + 1;
    rows_ = static_cast<std::size_t>(h / cell_) + 1;
    // A few long edges across a fine grid would be filed in most of its cells:
    // past a budget of filings one cell holds every edge (the plain scan).
    std::size_t filings = 0;
    for (std::size_t m = 0; m < edges; ++m) filings += Cells(line[m], line[m + 1]).Count();
    if (filings > 32 * edges) {
      cols_ = rows_ = 1;
      cell_ = std::max(w, h) + 1;
    }
    start_.assign(cols_ * rows_ + 1, 0);
    for (std::size_t m = 0; m < edges; ++m) {
      Cells(line[m], line[m + 1]).Each(cols_, [&](std::size_t c) { ++start_[c + 1]; });
    }
    for (std::size_t c = 1; c < start_.size(); ++c) start_[c] += start_[c - 1];
    edges_.resize(start_.back());
    std::vector<std::size_t> fill(start_.begin(), start_.end() - 1);
    for (std::size_t m = 0; m < edges; ++m) {
      Cells(line[m], line[m + 1]).Each(cols_, [&](std::size_t c) {
        edges_[fill[c]++] = static_cast<std::uint32_t>(m);
      });
    }
  }

  // Calls `visit(m)` for the edges filed beside the segment a-b, each cell's
  // from the last down to (not including) `floor`; `visit` may raise the floor.
  template <typename Visit>
  void Near(const IntPoint& a, const IntPoint& b, std::size_t& floor, Visit visit) const {
    Cells(a, b).Each(cols_, [&](std::size_t c) {
      for (std::size_t k = start_[c + 1]; k > start_[c] && edges_[k - 1] > floor; --k) {
        visit(static_cast<std::size_t>(edges_[k - 1]));
      }
    });
  }

 private:
  struct Span {
    std::size_t x0, x1, y0, y1;
    std::size_t Count() const { return (x1 - x0 + 1) * (y1 - y0 + 1); }
    template <typename F>
    void Each(std::size_t cols, F f) const {
      for (std::size_t y = y0; y <= y1; ++y) {
        for (std::size_t x = x0; x <= x1; ++x) f(y * cols + x);
      }
    }
  };

  std::size_t Cell(cInt v, cInt origin, std::size_t count) const {
    const double at = std::floor(static_cast<double>(v - origin) / cell_);
    return std::min(static_cast<std::size_t>(std::max(at, 0.0)), count - 1);
  }

  Span Cells(const IntPoint& a, const IntPoint& b) const {
    return Span{Cell(std::min(a.X, b.X) - 1, origin_.X, cols_),
                Cell(std::max(a.X, b.X) + 1, origin_.X, cols_),
                Cell(std::min(a.Y, b.Y) - 1, origin_.Y, rows_),
                Cell(std::max(a.Y, b.Y) + 1, origin_.Y, rows_)};
  }

  IntPoint origin_;
  double cell_ = 1;
  std::size_t cols_ = 1, rows_ = 1;
  std::vector<std::size_t> start_;    // cell c's edges are edges_[start_[c], start_[c + 1])
  std::vector<std::uint32_t> edges_;  // edge m runs from point m to point m + 1
};

}  // namespace

void RemoveLoops(Path& line) {
  const std::size_t n = line.size();
  if (n > kMaxLoopCheck || n < 4) return;  // fewer than four points: no two edges apart
  const EdgeGrid grid(line);
  const bool closed = line.front() == line.back();
  Path out;
  out.reserve(n);
  // The edge in hand runs from `from` (a point of the line, or the crossing
  // that closed the last loop) to point k + 1; the edges after it are the
  // line's own, edge m from point m to m + 1.
  IntPoint from = line[0];
  for (std::size_t k = 0; k + 1 < n;) {
    const double ax = static_cast<double>(from.X), ay = static_cast<double>(from.Y);
    const double dx = static_cast<double>(line[k + 1].X) - ax;
    const double dy = static_cast<double>(line[k + 1].Y) - ay;
    std::size_t best = k + 1;  // edges up to k + 1 touch the edge in hand: not a loop
    IntPoint cross;
    grid.Near(from, line[k + 1], best, [&](std::size_t m) {
      // The two edges where a closed line meets itself are not a loop.
      if (k == 0 && m + 2 == n && closed) return;
      const double px = static_cast<double>(line[m].X), py = static_cast<double>(line[m].Y);
      const double ex = static_cast<double>(line[m + 1].X) - px;
      const double ey = static_cast<double>(line[m + 1].Y) - py;
      const double denom = dx * ey - dy * ex;
      if (denom == 0.0) return;  // parallel
      const double s = ((px - ax) * ey - (py - ay) * ex) / denom;
      const double r = ((px - ax) * dy - (py - ay) * dx) / denom;
      if (s < 0 || s > 1 || r < 0 || r > 1) return;
      best = m;
      cross = IntPoint(static_cast<cInt>(std::llround(ax + s * dx)),
                       static_cast<cInt>(std::llround(ay + s * dy)));
    });
    out.push_back(from);
    if (best > k + 1) {
      // The loop between the two edges goes; the line runs on from the
      // crossing along the rest of edge `best`.
      from = cross;
      k = best;
    } else {
      from = line[k + 1];
      ++k;
    }
  }
  out.push_back(from);
  line = std::move(out);
}

}  // namespace qelhatching
