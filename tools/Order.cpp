// Travel-optimised order of strokes.
//
// The problem is a travelling salesman path over strokes: each stroke is entered at one point
// and left at another (the other end of an open stroke; the same vertex of a closed one), the
// path runs from a fixed start to a fixed end, and the cost is the pen-up distance. Two stages:
//   - a greedy nearest-neighbour path, the nearest entry found in a bucket grid, so a hundred
//     thousand strokes take well under a second;
//   - local search: 2-opt (reversing a run of strokes, each drawn backwards, which changes only
//     the two moves at its ends) and Or-opt (moving a run of 1 to 89 strokes elsewhere, either
//     way round: a long run carries a piece of serpentine the greedy path left behind), tried only
//     towards each stroke's nearest neighbours, with a queue of strokes whose surroundings changed.
//     A closed stroke moved alone enters at the vertex best for its new neighbours, and when the
//     queue is empty every closed stroke starts at the vertex between its neighbours. It stops
//     when no move helps or the budget of work is spent.
#include "Order.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <numeric>

namespace vuzodo_cli {
namespace {

using Clock = std::chrono::steady_clock;

struct Xy {
  double x, y;
};

double Dist(Xy a, Xy b) {
  return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y));
}

// Where the pen may enter each stroke: both ends of an open stroke (0 its first point, 1 its
// last), every vertex of a closed one, the point of a dot.
struct Entries {
  std::vector<Xy> xy;
  std::vector<int> owner;  // the stroke of each point
  std::vector<int> first;  // the points of stroke s are first[s] .. first[s + 1] - 1
  std::vector<char> open;  // per stroke: left at its other end
};

Entries EntriesOf(const std::vector<Stroke>& strokes) {
  Entries e;
  for (size_t s = 0; s < strokes.size(); ++s) {
    const Stroke& k = strokes[s];
    e.first.push_back(static_cast<int>(e.xy.size()));
    const bool open = !k.closed && k.x.size() > 1;
    e.open.push_back(open ? 1 : 0);
    const size_t n = k.x.size();
    for (size_t i = 0; i < n; ++i) {
      if (open && i != 0 && i + 1 != n) continue;
      e.xy.push_back({k.x[i], k.y[i]});
      e.owner.push_back(static_cast<int>(s));
    }
  }
  e.first.push_back(static_cast<int>(e.xy.size()));
  return e;
}

// A bucket grid over the entry points, about two to a cell, from which points can be taken
// out as their strokes are used.
class Grid {
 public:
  explicit Grid(const std::vector<Xy>& points) : points_(points) {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const Xy& p : points) {
      x0 = std::min(x0, p.x), y0 = std::min(y0, p.y);
      x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
    const double n = static_cast<double>(std::max<size_t>(points.size(), 1));
    const double w = std::max(x1 - x0, 0.0), h = std::max(y1 - y0, 0.0);
    // Square cells holding two points each on average; a drawing that is one line thin gets
    // cells along that line.
    size_ = std::max({std::sqrt(2 * w * h / n), 2 * std::max(w, h) / n, 1e-9});
    x0_ = x0, y0_ = y0;
    nx_ = static_cast<int>(std::min(w / size_, 4 * n)) + 1;
    ny_ = static_cast<int>(std::min(h / size_, 4 * n)) + 1;
    const size_t cells = static_cast<size_t>(nx_) * ny_;
    begin_.assign(cells + 1, 0);
    for (const Xy& p : points) ++begin_[Cell(p) + 1];
    std::partial_sum(begin_.begin(), begin_.end(), begin_.begin());
    alive_.assign(cells, 0);
    items_.resize(points.size());
    slot_.resize(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
      const size_t c = Cell(points[i]);
      slot_[i] = begin_[c] + alive_[c]++;
      items_[slot_[i]] = static_cast<int>(i);
    }
  }

  double CellSize() const { return size_; }
  // Rings past this one hold no cell of the grid.
  int LastRing() const { return std::max(nx_, ny_); }

  // Calls f(point) for every point still in the cells at Chebyshev distance r from p's cell.
  template <typename F>
  void Ring(Xy p, int r, F f) const {
    const int cx = Column(p.x), cy = Row(p.y);
    auto visit = [&](int x, int y) {
      if (x < 0 || y < 0 || x >= nx_ || y >= ny_) return;
      const size_t c = static_cast<size_t>(y) * nx_ + x;
      for (int k = begin_[c], e = begin_[c] + alive_[c]; k < e; ++k) f(items_[k]);
    };
    if (r == 0) return visit(cx, cy);
    for (int x = cx - r; x <= cx + r; ++x) visit(x, cy - r), visit(x, cy + r);
    for (int y = cy - r + 1; y <= cy + r - 1; ++y) visit(cx - r, y), visit(cx + r, y);
  }

  void Remove(int point) {
    const size_t c = Cell(points_[point]);
    const int last = begin_[c] + --alive_[c];
    const int moved = items_[last];
    items_[slot_[point]] = moved;
    slot_[moved] = slot_[point];
    items_[last] = point;
    slot_[point] = last;
  }

 private:
  int Column(double x) const { return std::clamp(static_cast<int>((x - x0_) / size_), 0, nx_ - 1); }
  int Row(double y) const { return std::clamp(static_cast<int>((y - y0_) / size_), 0, ny_ - 1); }
  size_t Cell(Xy p) const { return static_cast<size_t>(Row(p.y)) * nx_ + Column(p.x); }

  const std::vector<Xy>& points_;
  double size_ = 1, x0_ = 0, y0_ = 0;
  int nx_ = 1, ny_ = 1;
  std::vector<int> begin_, alive_;  // per cell: its first item and how many are still in
  std::vector<int> items_, slot_;   // points by cell; where each point is in items_
};

// Strokes near each stroke, nearest first: the only partners the local search tries.
constexpr int kNeighbours = 8;
// The search's work (moves weighed, strokes placed, vertices tried) that a second of
// --optimize-budget buys: a count, not a clock, so that the same job always gives the same
// order whatever else the machine is doing. The two jobs of docs/machines.md did 6e7 (hatch
// segments) and 1.3e8 (outlines) a second (release build, 2.7 GHz).
constexpr double kWorkPerSecond = 1e8;
// A closed stroke looks for its neighbours from at most about this many of its vertices.
constexpr int kRingSamples = 16;

class Tour {
 public:
  Tour(const Entries& e, Xy start, Xy end)
      : e_(e), n_(static_cast<int>(e.open.size())), start_(start), end_(end) {}

  // The nearest-neighbour path; `grid` loses every point on the way.
  void Greedy(Grid& grid) {
    order_.clear();
    pos_.assign(n_, 0);
    at_.assign(n_, 0);
    std::vector<int> left(n_);  // the strokes not yet used, for a scan when the grid is sparse
    std::iota(left.begin(), left.end(), 0);
    std::vector<int> where(left);
    int points = static_cast<int>(e_.xy.size());
    auto take = [&](int p) {
      const int s = e_.owner[p];
      at_[s] = p - e_.first[s];
      pos_[s] = static_cast<int>(order_.size());
      order_.push_back(s);
      for (int q = e_.first[s]; q < e_.first[s + 1]; ++q) grid.Remove(q);
      points -= e_.first[s + 1] - e_.first[s];
      const int last = left.back();
      left[where[s]] = last;
      where[last] = where[s];
      left.pop_back();
    };
    auto scan = [&](Xy from) {
      int best = -1;
      double d = 1e300;
      for (const int s : left) {
        for (int q = e_.first[s]; q < e_.first[s + 1]; ++q) {
          const double dq = Dist(from, e_.xy[q]);
          if (dq < d) d = dq, best = q;
        }
      }
      return best;
    };
    // The start may lie anywhere, outside the grid too: the first stroke comes from a scan.
    if (n_ > 0) take(scan(start_));
    while (static_cast<int>(order_.size()) < n_) {
      const Xy from = Exit(order_.back());
      int best = -1;
      double d = 1e300;
      for (int r = 0;; ++r) {
        // Past this many cells a scan of what is left is cheaper than another ring.
        if (static_cast<double>(2 * r + 1) * (2 * r + 1) > 4.0 * points + 64) {
          best = scan(from);
          break;
        }
        grid.Ring(from, r, [&](int q) {
          const double dq = Dist(from, e_.xy[q]);
          if (dq < d) d = dq, best = q;
        });
        // Every point of a farther ring is at least r cells away.
        if ((best >= 0 && d <= r * grid.CellSize()) || r > grid.LastRing()) break;
      }
      take(best >= 0 ? best : scan(from));
    }
  }

  // For each stroke, up to kNeighbours others with an entry point near one of its own.
  void FindNeighbours(const Grid& grid) {
    grid_ = &grid;
    near_.assign(static_cast<size_t>(n_) * kNeighbours, -1);
    std::vector<std::pair<double, int>> found;  // the nearest distance to each stroke met
    std::vector<int> seen(n_, -1), slot(n_);    // per stroke: met for which, where in found
    for (int s = 0; s < n_; ++s) {
      found.clear();
      const int points = e_.first[s + 1] - e_.first[s];
      // A long ring asks from a few of its vertices: its neighbours lie around all of it.
      const int step = std::max(1, points / kRingSamples);
      for (int p = e_.first[s]; p < e_.first[s + 1]; p += step) {
        const Xy from = e_.xy[p];
        // A few rings: the candidates need not be exactly the nearest.
        for (int r = 0; r <= 1 || (found.size() < kNeighbours && r <= 4); ++r) {
          grid.Ring(from, r, [&](int q) {
            const int t = e_.owner[q];
            if (t == s) return;
            const double d = Dist(from, e_.xy[q]);
            if (seen[t] != s) {
              seen[t] = s;
              slot[t] = static_cast<int>(found.size());
              found.emplace_back(d, t);
            } else {
              found[slot[t]].first = std::min(found[slot[t]].first, d);
            }
          });
        }
      }
      const auto keep = std::min<size_t>(found.size(), kNeighbours);
      std::partial_sort(found.begin(), found.begin() + static_cast<long>(keep), found.end());
      for (size_t k = 0; k < keep; ++k) {
        near_[static_cast<size_t>(s) * kNeighbours + k] = found[k].second;
      }
    }
  }

  std::int64_t Work() const { return work_; }

  // 2-opt and Or-opt moves until none helps or `limit` work is spent, then each closed stroke
  // starts at its best vertex; repeated while that changes anything.
  void Improve(std::int64_t limit) {
    double travel = 0;
    for (int k = -1; k < n_; ++k) travel += Move(k);
    far_ = kFarMean * travel / (n_ + 1);
    queued_.assign(n_, 1);
    for (int s = 0; s < n_; ++s) queue_.push_back(s);
    size_t head = 0;
    for (;;) {
      if (work_ >= limit) return;
      if (head == queue_.size()) {
        queue_.clear();
        head = 0;
        if (!Reanchor()) return;
        continue;
      }
      if (head > 65536 && 2 * head > queue_.size()) {  // the queue keeps only what is waiting
        queue_.erase(queue_.begin(), queue_.begin() + static_cast<long>(head));
        head = 0;
      }
      const int s = queue_[head++];
      queued_[s] = 0;
      if (TwoOpt(s) || OrOpt(s)) Touch(s);
    }
  }

  // The strokes rebuilt in this order, each turned to be entered where the tour enters it.
  std::vector<Stroke> Apply(std::vector<Stroke>& strokes) const {
    std::vector<Stroke> out;
    out.reserve(strokes.size());
    for (const int s : order_) {
      Stroke k = std::move(strokes[s]);
      const size_t n = k.x.size();
      if (e_.open[s] && at_[s] == 1) {
        std::reverse(k.x.begin(), k.x.end());
        std::reverse(k.y.begin(), k.y.end());
        // The segment from point i to i + 1 was the segment from n - 2 - i to n - 1 - i, run
        // the other way: the same arc turning the other way round.
        std::reverse(k.bulge.begin(), k.bulge.begin() + static_cast<long>(n - 1));
        for (size_t i = 0; i + 1 < n; ++i) k.bulge[i] = -k.bulge[i];
      } else if (!e_.open[s] && at_[s] != 0) {
        const auto by = static_cast<long>(at_[s]);
        std::rotate(k.x.begin(), k.x.begin() + by, k.x.end());
        std::rotate(k.y.begin(), k.y.begin() + by, k.y.end());
        std::rotate(k.bulge.begin(), k.bulge.begin() + by, k.bulge.end());
      }
      out.push_back(std::move(k));
    }
    return out;
  }

 private:
  Xy Entry(int s) const { return e_.xy[e_.first[s] + at_[s]]; }
  Xy Exit(int s) const { return e_.xy[e_.first[s] + (e_.open[s] ? 1 - at_[s] : at_[s])]; }
  // The pen leaves position k (the start before the first) and enters position k (the end
  // after the last).
  Xy Leave(int k) const { return k < 0 ? start_ : Exit(order_[k]); }
  Xy Enter(int k) const { return k >= n_ ? end_ : Entry(order_[k]); }
  double Move(int k) const { return Dist(Leave(k), Enter(k + 1)); }  // from k to k + 1

  void Touch(int s) {
    if (!queued_[s]) queued_[s] = 1, queue_.push_back(s);
  }
  void TouchAt(int k) {
    if (k >= 0 && k < n_) Touch(order_[k]);
  }
  void Place(int from, int to) {  // pos_ after order_[from .. to] changed
    work_ += to - from + 1;
    for (int k = from; k <= to; ++k) pos_[order_[k]] = k;
  }
  // Draws order_[a .. b] the other way: backwards, each stroke reversed.
  void Reverse(int a, int b) {
    std::reverse(order_.begin() + a, order_.begin() + b + 1);
    for (int k = a; k <= b; ++k) {
      if (e_.open[order_[k]]) at_[order_[k]] ^= 1;
    }
    Place(a, b);
  }

  // A run longer than this is not moved: each move's cost stays small between checks of the
  // work spent.
  static constexpr int kLongestRun = 50000;
  static constexpr double kGain = 1e-9;  // a move must win more than rounding
  // A move this many times longer than the greedy path's mean looks for partners among up to
  // kFarTries points within 4 * kFarMean cells.
  static constexpr double kFarMean = 8;
  static constexpr int kFarTries = 400;

  // Replaces the moves after positions a and b (a < b) by a move from a to b's exit and from
  // a + 1's entry to b + 1, drawing a + 1 .. b the other way.
  bool TryTwoOpt(int a, int b) {
    if (a >= b || a < -1 || b >= n_ || b - a > kLongestRun) return false;
    ++work_;
    const double gain =
        Move(a) + Move(b) - Dist(Leave(a), Leave(b)) - Dist(Enter(a + 1), Enter(b + 1));
    if (gain <= kGain) return false;
    Reverse(a + 1, b);
    for (const int k : {a, a + 1, b, b + 1}) TouchAt(k);
    return true;
  }

  bool TwoOpt(int s) {
    const int i = pos_[s];
    if (TryTwoOpt(i - 1, i)) return true;  // the stroke alone, the other way
    for (int k = 0; k < kNeighbours; ++k) {
      const int t = near_[static_cast<size_t>(s) * kNeighbours + k];
      if (t < 0) break;
      const int j = pos_[t];
      // Joining the two exits, or the two entries.
      if (TryTwoOpt(std::min(i, j), std::max(i, j))) return true;
      if (TryTwoOpt(std::min(i, j) - 1, std::max(i, j) - 1)) return true;
    }
    return Far(s, i, false) || Far(s, i, true);
  }

  // A long move in a dense drawing (a jump the greedy path made back to what it left behind)
  // has partners beyond the nearest few: a 2-opt move that drops it joins its end to a stroke
  // nearer than the move is long, so those are looked up in the grid, nearest cells first.
  bool Far(int s, int i, bool out) {
    const double length = out ? Move(i) : Move(i - 1);
    const double cell = grid_->CellSize();
    if (length < far_) return false;
    const Xy from = out ? Exit(s) : Entry(s);
    int tried = 0;
    bool done = false;
    const int rings = static_cast<int>(std::min(length / cell + 1, 4.0 * kFarMean));
    for (int r = 0; r <= rings && !done && tried < kFarTries; ++r) {
      grid_->Ring(from, r, [&](int q) {
        const int t = e_.owner[q];
        if (done || t == s || ++tried > kFarTries) return;
        const int j = pos_[t];
        done = out ? TryTwoOpt(std::min(i, j), std::max(i, j))
                   : TryTwoOpt(std::min(i, j) - 1, std::max(i, j) - 1);
      });
    }
    return done;
  }

  // Moves order_[p .. q] between positions j and j + 1 (outside p - 1 .. q), the other way
  // round when `backwards`.
  void MoveRun(int p, int q, int j, bool backwards) {
    const int length = q - p + 1;
    int lo = 0, hi = 0;  // where the run is now
    if (j > q) {
      std::rotate(order_.begin() + p, order_.begin() + q + 1, order_.begin() + j + 1);
      lo = j - length + 1, hi = j;
      Place(p, j);
      for (const int k : {p - 1, p, lo - 1, hi + 1}) TouchAt(k);
    } else {
      std::rotate(order_.begin() + j + 1, order_.begin() + p, order_.begin() + q + 1);
      lo = j + 1, hi = j + length;
      Place(j + 1, q);
      for (const int k : {q, q + 1, lo - 1, hi + 1}) TouchAt(k);
    }
    if (backwards) Reverse(lo, hi);
    for (int k = lo; k <= hi; ++k) TouchAt(k);
  }

  // The vertex of closed stroke s (from its first) at which the way from `from` through it to
  // `to` is shortest, each one taken only when shorter than `cost` by more than `margin`, and
  // `cost` lowered to it; -1 when none is.
  int BestVertex(int s, Xy from, Xy to, double& cost, double margin) const {
    int best = -1;
    work_ += e_.first[s + 1] - e_.first[s];
    for (int v = e_.first[s]; v < e_.first[s + 1]; ++v) {
      const double c = Dist(from, e_.xy[v]) + Dist(e_.xy[v], to);
      if (c < cost - margin) cost = c, best = v - e_.first[s];
    }
    return best;
  }

  bool TryRun(int p, int q) {
    if (p < 0 || q >= n_) return false;
    // What closing the gap the run leaves wins.
    const double gap = Move(p - 1) + Move(q) - Dist(Leave(p - 1), Enter(q + 1));
    if (gap <= kGain) return false;
    for (const int end : {p, q}) {
      for (int k = 0; k < kNeighbours; ++k) {
        const int t = near_[static_cast<size_t>(order_[end]) * kNeighbours + k];
        if (t < 0) break;
        for (const int j : {pos_[t] - 1, pos_[t]}) {
          if ((j >= p - 1 && j <= q) || j < -1 || j >= n_ || std::abs(j - p) > kLongestRun) {
            continue;
          }
          ++work_;
          const double old = Move(j);
          if (p == q && !e_.open[order_[p]]) {
            // A closed stroke alone goes in at the vertex best for its new neighbours.
            const int s = order_[p];
            double cost = gap - kGain + old;
            const int best = BestVertex(s, Leave(j), Enter(j + 1), cost, 0);
            if (best < 0) continue;
            at_[s] = best;
            MoveRun(p, q, j, false);
            return true;
          }
          const double ahead = Dist(Leave(j), Enter(p)) + Dist(Leave(q), Enter(j + 1)) - old;
          const double back = Dist(Leave(j), Leave(q)) + Dist(Enter(p), Enter(j + 1)) - old;
          if (gap - std::min(ahead, back) > kGain) {
            MoveRun(p, q, j, back < ahead);
            return true;
          }
        }
      }
    }
    return false;
  }

  bool OrOpt(int s) {
    const int i = pos_[s];
    for (const int length : {1, 2, 3, 5, 8, 13, 21, 34, 55, 89}) {
      if (TryRun(i, i + length - 1) || (length > 1 && TryRun(i - length + 1, i))) return true;
    }
    return false;
  }

  // Each closed stroke entered at the vertex nearest the way from its predecessor to its
  // successor. Returns whether any changed.
  bool Reanchor() {
    bool changed = false;
    for (int k = 0; k < n_; ++k) {
      const int s = order_[k];
      if (e_.open[s] || e_.first[s + 1] - e_.first[s] < 2) continue;
      const Xy from = Leave(k - 1), to = Enter(k + 1);
      double d = Dist(from, Entry(s)) + Dist(Entry(s), to);
      const int best = BestVertex(s, from, to, d, kGain);
      if (best >= 0 && best != at_[s]) {
        at_[s] = best;
        changed = true;
        for (const int j : {k - 1, k, k + 1}) TouchAt(j);
      }
    }
    return changed;
  }

  const Entries& e_;
  const Grid* grid_ = nullptr;  // every entry point, for partners of long moves
  double far_ = 0;              // a move at least this long is a long one
  int n_;
  Xy start_, end_;
  std::vector<int> order_;  // strokes in drawing order
  std::vector<int> pos_;    // per stroke: its place in order_
  std::vector<int> at_;     // per stroke: the entry point it is entered at, from its first
  std::vector<int> near_;   // kNeighbours per stroke, -1 past the last
  std::vector<int> queue_;  // strokes whose surroundings changed
  std::vector<char> queued_;
  // The search's work so far, in moves weighed, strokes placed and vertices tried (see
  // kWorkPerSecond).
  mutable std::int64_t work_ = 0;
};

// "travel 62475.178 -> 5234.100 mm (-91.6%), 58975 strokes, 0.62 s".
void Report(const char* what, double before, double after, size_t strokes, Clock::time_point t0) {
  const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
  std::fprintf(stderr, "%s: travel %.3f -> %.3f mm (%+.1f%%), %zu strokes, %.2f s\n", what, before,
               after, before > 0 ? 100 * (after - before) / before : 0.0, strokes, seconds);
}

Xy PointOf(const std::vector<double>& xy) {
  return xy.size() == 2 ? Xy{xy[0], xy[1]} : Xy{0, 0};
}

}  // namespace

double TravelOf(const std::vector<Stroke>& strokes, double sx, double sy, double ex, double ey) {
  double travel = 0;
  Xy at{sx, sy};
  for (const Stroke& s : strokes) {
    travel += Dist(at, {s.x[0], s.y[0]});
    at = s.closed ? Xy{s.x[0], s.y[0]} : Xy{s.x.back(), s.y.back()};
  }
  return travel + Dist(at, {ex, ey});
}

std::int64_t OrderStrokes(std::vector<Stroke>& strokes, double sx, double sy, double ex, double ey,
                          std::int64_t work) {
  if (strokes.empty()) return 0;
  const Entries e = EntriesOf(strokes);
  Tour tour(e, {sx, sy}, {ex, ey});
  {
    Grid grid(e.xy);
    tour.Greedy(grid);
  }
  if (work > 0) {  // a budget of 0: the greedy order alone
    const Grid grid(e.xy);
    tour.FindNeighbours(grid);
    tour.Improve(work);
  }
  strokes = tour.Apply(strokes);
  return tour.Work();
}

namespace {
// The search's work that `seconds` of --optimize-budget buy.
std::int64_t WorkOf(double seconds) {
  return static_cast<std::int64_t>(std::min(seconds * kWorkPerSecond, 1e15));
}
}  // namespace

void OrderJob(Job& job, const OrderOptions& o) {
  if (!o.optimize) return;
  const auto t0 = Clock::now();
  const double before = TravelOf(job.strokes, job.start_x, job.start_y, job.end_x, job.end_y);
  OrderStrokes(job.strokes, job.start_x, job.start_y, job.end_x, job.end_y, WorkOf(o.budget));
  Report("--optimize", before,
         TravelOf(job.strokes, job.start_x, job.start_y, job.end_x, job.end_y), job.strokes.size(),
         t0);
}

void OrderDrawing(Geometry (&g)[3], const OrderOptions& o, double mm_per_unit, double shift_x,
                  double shift_y) {
  if (!o.optimize) return;
  const auto t0 = Clock::now();
  const Xy start = PointOf(o.start), end = PointOf(o.end);
  const double sx = start.x / mm_per_unit - shift_x, sy = start.y / mm_per_unit - shift_y;
  const double ex = end.x / mm_per_unit - shift_x, ey = end.y / mm_per_unit - shift_y;
  size_t total = 0;
  for (const Geometry& one : g) total += one.strokes.size() + one.dots.size();
  // The budget is shared by the streams as their strokes are; what one leaves goes to the next.
  double before = 0, after = 0;
  std::int64_t allowed = 0, spent = 0;
  for (Geometry& one : g) {
    // Dots are written after the strokes: a path of their own.
    std::vector<Stroke> dots;
    for (const auto& [x, y] : one.dots) dots.push_back(Stroke{{x}, {y}, {0.0}, false});
    for (std::vector<Stroke>* list : {&one.strokes, &dots}) {
      if (list->empty()) continue;
      const double share = total > 0 ? o.budget * static_cast<double>(list->size()) / total : 0;
      allowed += WorkOf(share);
      before += TravelOf(*list, sx, sy, ex, ey);
      spent += OrderStrokes(*list, sx, sy, ex, ey, allowed - spent);
      after += TravelOf(*list, sx, sy, ex, ey);
    }
    for (size_t i = 0; i < dots.size(); ++i) one.dots[i] = {dots[i].x[0], dots[i].y[0]};
  }
  Report("--optimize", before * mm_per_unit, after * mm_per_unit, total, t0);
}

}  // namespace vuzodo_cli
