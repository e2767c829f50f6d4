// The fill region of one character, offsets, inside tests and the travel order.
#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <numbers>
#include <utility>

#include "HatchFill.h"
#include "QELEntity.h"

namespace qelhatching {

using ClipperLib::Clipper;
using ClipperLib::ClipperOffset;

IntPoint Frame::ToInt(double x, double y) const {
  return IntPoint(static_cast<cInt>(std::llround((x - origin_x) * scale)),
                  static_cast<cInt>(std::llround((y - origin_y) * scale)));
}

namespace {

struct Point {
  double x, y;
};
using Polyline = std::vector<Point>;

bool Finite(const Point& p) {
  return std::isfinite(p.x) && std::isfinite(p.y);
}

double Distance(const Point& a, const Point& b) {
  return std::hypot(a.x - b.x, a.y - b.y);
}

double Distance2(const IntPoint& a, const IntPoint& b) {
  const double dx = static_cast<double>(a.X - b.X), dy = static_cast<double>(a.Y - b.Y);
  return dx * dx + dy * dy;
}

void OrderByGrid(std::vector<Segment>& segments, IntPoint& pen);

// An elliptical arc as points whose chords stay within `tolerance` of the curve.
// The step is worked for a circle of the major radius, the worst case of the ellipse.
Polyline FlattenArc(const CQELEllipticalArc& arc, double tolerance, std::size_t& budget) {
  const double ax = arc.GetAxisPoint().GetX(), ay = arc.GetAxisPoint().GetY();
  const double major = std::hypot(ax, ay);
  const double minor = arc.GetRatio() * major;
  const double cx = arc.GetCenter().GetX(), cy = arc.GetCenter().GetY();
  const double sweep = arc.GetSweep();
  if (!std::isfinite(major) || !std::isfinite(minor) || !std::isfinite(sweep) ||
      !std::isfinite(arc.GetStartAngle())) {
    return {Point{std::numeric_limits<double>::quiet_NaN(), 0.0}};
  }
  const double radius = std::max(major, std::fabs(minor));
  double step = std::numbers::pi / 2;
  if (tolerance < radius) step = std::min(step, 2.0 * std::acos(1.0 - tolerance / radius));
  double n = std::ceil(std::fabs(sweep) / step);
  n = std::clamp(n, 1.0, static_cast<double>(kMaxArcSegments));
  const auto segments = static_cast<std::size_t>(n);
  if (segments + 1 > budget) return {Point{std::numeric_limits<double>::quiet_NaN(), 0.0}};
  budget -= segments + 1;
  const double cos_t = major > 0 ? ax / major : 1.0, sin_t = major > 0 ? ay / major : 0.0;
  Polyline points;
  points.reserve(segments + 1);
  for (std::size_t i = 0; i <= segments; ++i) {
    const double t = arc.GetStartAngle() + sweep * static_cast<double>(i) / n;
    const double u = major * std::cos(t), v = minor * std::sin(t);
    points.push_back({cx + u * cos_t - v * sin_t, cy + u * sin_t + v * cos_t});
  }
  return points;
}

// Chains open pieces end to end (either piece may be reversed) and sorts the
// results into closed rings (ends within `eps`) and leftovers, which go to `open`.
void ChainPieces(std::vector<Polyline>& pieces, double eps, std::vector<Polyline>& rings,
                 std::vector<Polyline>& open) {
  std::vector<bool> used(pieces.size(), false);
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    if (used[i]) continue;
    used[i] = true;
    Polyline chain = pieces[i];
    bool grown = true;
    while (grown && Distance(chain.front(), chain.back()) > eps) {
      grown = false;
      for (std::size_t j = 0; j < pieces.size() && !grown; ++j) {
        if (used[j]) continue;
        Polyline& p = pieces[j];
        if (Distance(chain.back(), p.front()) <= eps) {
          chain.insert(chain.end(), p.begin() + 1, p.end());
        } else if (Distance(chain.back(), p.back()) <= eps) {
          chain.insert(chain.end(), p.rbegin() + 1, p.rend());
        } else if (Distance(chain.front(), p.back()) <= eps) {
          chain.insert(chain.begin(), p.begin(), p.end() - 1);
        } else if (Distance(chain.front(), p.front()) <= eps) {
          chain.insert(chain.begin(), p.rbegin(), p.rend() - 1);
        } else {
          continue;
        }
        used[j] = true;
        grown = true;
      }
    }
    if (chain.size() >= 3 && Distance(chain.front(), chain.back()) <= eps) {
      chain.pop_back();  // the closing point repeats the first
      rings.push_back(std::move(chain));
    } else {
      open.push_back(std::move(chain));  // a stroke: it encloses nothing
    }
  }
}

}  // namespace

namespace {

struct Box {
  double min_x = std::numeric_limits<double>::infinity(), min_y = min_x;
  double max_x = -min_x, max_y = -min_x;
  void Widen(const std::vector<Polyline>& polylines) {
    for (const Polyline& poly : polylines) {
      for (const Point& p : poly) {
        min_x = std::min(min_x, p.x), max_x = std::max(max_x, p.x);
        min_y = std::min(min_y, p.y), max_y = std::max(max_y, p.y);
      }
    }
  }
  bool Empty() const { return !(min_x <= max_x); }
};

// A character's outline as closed rings and the chains that stay open, output units: arcs
// flattened with `chord_tolerance`, open pieces chained; `box` widened by every point. False
// when a point is not finite (a broken outline gets no fill).
bool OutlineRings(const std::vector<std::unique_ptr<CQELEntity>>& outline, double chord_tolerance,
                  std::vector<Polyline>& rings, std::vector<Polyline>& open, Box& box) {
  std::vector<Polyline> pieces;
  // Flattened arcs may not take more than this many points; past it the
  // outline counts as broken (not finite), and gets no fill.
  std::size_t arc_budget = kMaxVerticesPerCharacter;
  for (const auto& entity : outline) {
    switch (entity->GetType()) {
      case CQELEntity::kLine: {
        const auto& line = static_cast<const CQELLine&>(*entity);
        pieces.push_back({{line.GetStartPoint().GetX(), line.GetStartPoint().GetY()},
                          {line.GetEndPoint().GetX(), line.GetEndPoint().GetY()}});
        break;
      }
      case CQELEntity::kEllipticalArc:
        pieces.push_back(FlattenArc(static_cast<const CQELEllipticalArc&>(*entity), chord_tolerance,
                                    arc_budget));
        break;
      case CQELEntity::kPolyLine: {
        const auto& poly = static_cast<const CQELPolyLine&>(*entity);
        Polyline points;
        points.reserve(poly.GetPoints().size());
        for (const NURBSPoint& p : poly.GetPoints()) points.push_back({p.GetX(), p.GetY()});
        if (points.empty()) break;
        (poly.GetClosed() == 1 ? rings : pieces).push_back(std::move(points));
        break;
      }
      default:  // dots mark a point; other kinds do not reach the hatching
        break;
    }
  }
  for (const auto* list : {&rings, &pieces}) {
    for (const Polyline& poly : *list) {
      if (!std::all_of(poly.begin(), poly.end(), Finite)) return false;
    }
    box.Widen(*list);
  }
  if (pieces.size() <= kMaxChainedPieces) {
    ChainPieces(pieces, chord_tolerance, rings, open);
  } else {
    open.insert(open.end(), pieces.begin(), pieces.end());
  }
  return true;
}

// The frame of a region spanning `box`: its centre at Clipper (0, 0), the resolution of
// kUnitsPerUserUnit unless the extent would pass kMaxExtentUnits.
Frame FrameOf(const Box& box, double unit_size) {
  Frame frame;
  const double extent = std::max(box.max_x - box.min_x, box.max_y - box.min_y);
  frame.origin_x = 0.5 * (box.min_x + box.max_x);
  frame.origin_y = 0.5 * (box.min_y + box.max_y);
  frame.scale = kUnitsPerUserUnit / unit_size;
  if (extent * frame.scale > kMaxExtentUnits) frame.scale = kMaxExtentUnits / extent;
  return frame;
}

// The rings in Clipper units, a vertex that rounds onto the one before it dropped.
Paths IntRings(const std::vector<Polyline>& rings, const Frame& frame) {
  Paths paths;
  paths.reserve(rings.size());
  for (const Polyline& ring : rings) {
    Path path;
    path.reserve(ring.size());
    for (const Point& p : ring) {
      const IntPoint q = frame.ToInt(p.x, p.y);
      if (path.empty() || !(path.back() == q)) path.push_back(q);
    }
    if (path.size() >= 3) paths.push_back(std::move(path));
  }
  return paths;
}

Paths Unite(const Paths& paths) {
  Paths united;
  if (paths.empty()) return united;
  Clipper clipper;
  clipper.AddPaths(paths, ClipperLib::ptSubject, true);
  clipper.Execute(ClipperLib::ctUnion, united, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
  return united;
}

// The rings in Clipper units, united by the nonzero rule.
Paths UniteRings(const std::vector<Polyline>& rings, const Frame& frame) {
  return Unite(IntRings(rings, frame));
}

}  // namespace

Region BuildRegion(const std::vector<std::unique_ptr<CQELEntity>>& outline, double chord_tolerance,
                   double unit_size, bool scan_only) {
  Region region;
  region.unit_size = unit_size;
  region.chord_tolerance = chord_tolerance;
  std::vector<Polyline> rings, open;
  Box box;
  if (!OutlineRings(outline, chord_tolerance, rings, open, box) || box.Empty()) return region;
  region.frame = FrameOf(box, unit_size);
  const Paths paths = IntRings(rings, region.frame);
  if (!scan_only || !RingsCutAsTheirUnion(paths, region.paths)) region.paths = Unite(paths);
  return region;
}

std::vector<Region> UniteRegions(
    const std::vector<std::vector<std::unique_ptr<CQELEntity>>>& outlines, double chord_tolerance,
    double unit_size, std::vector<std::vector<std::pair<double, double>>>& open) {
  std::vector<Region> pieces;
  std::vector<std::vector<Polyline>> rings(outlines.size());
  Box box;
  for (std::size_t i = 0; i < outlines.size(); ++i) {
    std::vector<Polyline> strokes;
    Box one;
    if (!OutlineRings(outlines[i], chord_tolerance, rings[i], strokes, one)) {
      rings[i].clear();  // as a lone character, a broken one gets no region and no strokes
      continue;
    }
    box.Widen(rings[i]);
    box.Widen(strokes);
    for (Polyline& s : strokes) {
      std::vector<std::pair<double, double>> points;
      points.reserve(s.size());
      for (const Point& p : s) points.emplace_back(p.x, p.y);
      open.push_back(std::move(points));
    }
  }
  if (box.Empty()) return pieces;
  const Frame frame = FrameOf(box, unit_size);
  // Each character by the nonzero rule first: a contour of one character must not cancel
  // another's (a hole of one is filled where another covers it). Clipper's union output has
  // outer contours one way round and holes the other, so a point inside any character has a
  // winding number of one or more among them, and nonzero unites them all.
  Paths all;
  for (const std::vector<Polyline>& r : rings) {
    Paths one = UniteRings(r, frame);
    all.insert(all.end(), std::make_move_iterator(one.begin()), std::make_move_iterator(one.end()));
  }
  if (all.empty()) return pieces;
  ClipperLib::PolyTree tree;
  Clipper clipper;
  clipper.AddPaths(all, ClipperLib::ptSubject, true);
  clipper.Execute(ClipperLib::ctUnion, tree, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
  // Outer contours and the holes right inside them; an island inside a hole is an outer
  // contour of its own, a piece of its own.
  std::vector<const ClipperLib::PolyNode*> outers;
  for (const ClipperLib::PolyNode* node = tree.GetFirst(); node != nullptr;
       node = node->GetNext()) {
    if (!node->IsHole() && node->Contour.size() >= 3) outers.push_back(node);
  }
  // Pieces in travel order: each the nearest to the start of the one before, from the
  // frame's point of the page origin. The grid search of the segment order serves any
  // count (a long text has tens of thousands of pieces; Clipper's own order sends the pen
  // back and forth across the page).
  std::vector<Segment> starts;
  std::map<std::pair<cInt, cInt>, std::vector<const ClipperLib::PolyNode*>> at;
  for (const ClipperLib::PolyNode* node : outers) {
    const IntPoint& p = node->Contour[0];
    starts.push_back(Segment{p, p});
    at[{p.X, p.Y}].push_back(node);
  }
  if (!starts.empty()) {
    IntPoint pen = frame.ToInt(0.0, 0.0);
    OrderByGrid(starts, pen);
  }
  for (std::size_t i = 0; i < starts.size(); ++i) {
    auto& same = at[{starts[i].a.X, starts[i].a.Y}];
    outers[i] = same.back();
    same.pop_back();
    Region piece;
    piece.frame = frame;
    piece.unit_size = unit_size;
    piece.chord_tolerance = chord_tolerance;
    piece.paths.push_back(outers[i]->Contour);
    for (const ClipperLib::PolyNode* hole : outers[i]->Childs) {
      if (hole->Contour.size() >= 3) piece.paths.push_back(hole->Contour);
    }
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

OffsetSetup ResolveOffset(const OffsetOptions& options, const Region& region) {
  OffsetSetup setup;
  switch (options.corner) {
    case 1:
      setup.join = ClipperLib::jtSquare;  // bevelled: the corner cut off at the distance
      break;
    case 2:
      setup.join = ClipperLib::jtRound;
      break;
    default:
      setup.join = ClipperLib::jtMiter;
      break;
  }
  // Tenths; Clipper squares off a miter longer than the limit and takes no limit below 2.
  setup.miter_limit = options.miter_limit > 0 ? std::max(2.0, options.miter_limit / 10.0) : 2.0;
  const double tolerance = options.arc_tolerance > 0
                               ? options.arc_tolerance * region.unit_size / 1000.0
                               : region.chord_tolerance;
  // At least a quarter of a Clipper unit: a finer tolerance only multiplies vertices.
  setup.arc_tolerance = std::max(0.25, region.frame.Units(tolerance));
  setup.cleanup = options.algorithm == 1;
  setup.resolution = region.frame.Units(1.0);
  setup.grid_x = region.frame.Units(std::round(region.frame.origin_x) - region.frame.origin_x);
  setup.grid_y = region.frame.Units(std::round(region.frame.origin_y) - region.frame.origin_y);
  return setup;
}

// Removes the spikes of a closed path: vertices where the path turns back by
// more than a right angle and whose tip lies within `width` of the line
// through its neighbours. Such a tip, narrower than the output's resolution,
// would cross the path's other side once the host rounds the coordinates.
void RemoveSpikes(Path& path, double width) {
  bool removed = true;
  while (removed && path.size() >= 3) {
    removed = false;
    Path kept;
    kept.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
      const IntPoint& a = kept.empty() ? path[(i + path.size() - 1) % path.size()] : kept.back();
      const IntPoint& b = path[i];
      const IntPoint& c = path[(i + 1) % path.size()];
      const double ux = static_cast<double>(b.X - a.X), uy = static_cast<double>(b.Y - a.Y);
      const double wx = static_cast<double>(c.X - b.X), wy = static_cast<double>(c.Y - b.Y);
      const double cx = ux + wx, cy = uy + wy;  // from a to c
      const double base = std::hypot(cx, cy);
      const bool repeated = (ux == 0 && uy == 0) || (wx == 0 && wy == 0);
      const bool spike =
          ux * wx + uy * wy < 0 && (base == 0 || std::fabs(cx * uy - cy * ux) / base < width);
      if (repeated || spike) {
        removed = true;
        continue;
      }
      kept.push_back(b);
    }
    path = std::move(kept);
  }
}

Paths OffsetPaths(const Paths& paths, double delta, const OffsetSetup& setup) {
  Paths out;
  if (paths.empty()) return out;
  // A round corner gets pi / acos(1 - tol / |delta|) steps per turn; keeping
  // the tolerance above |delta| / 1e5 bounds that at about 700.
  const double radius = std::fabs(delta);
  const double tolerance = std::max(setup.arc_tolerance, radius * 1e-5);
  // Clipper rounds each corner's step count to the nearest whole number and
  // lets the last chord take the rest, up to one and a half steps, whose
  // sagitta is about 2.25 times the tolerance. Steps two thirds as wide keep
  // even that chord within it: tol' = r (1 - cos(2/3 acos(1 - tol / r))).
  const double half_step = std::acos(std::clamp(1.0 - tolerance / radius, -1.0, 1.0));
  const double step_tolerance = radius * (1.0 - std::cos(half_step * 2.0 / 3.0));
  ClipperOffset offset(setup.miter_limit, std::max(step_tolerance, 1e-3));
  offset.AddPaths(paths, setup.join, ClipperLib::etClosedPolygon);
  offset.Execute(out, delta);
  if (setup.cleanup) {
    ClipperLib::CleanPolygons(out);
    ClipperLib::SimplifyPolygons(out, ClipperLib::pftNonZero);
  } else {
    // Where the offset collapses, Clipper may leave tips narrower than one
    // output unit; those alone are taken off.
    for (Path& path : out) RemoveSpikes(path, setup.resolution);
    out.erase(std::remove_if(out.begin(), out.end(), [](const Path& p) { return p.size() < 3; }),
              out.end());
  }
  return out;
}

namespace {

// A path's corners on the host's grid, in whole output units; repeated
// corners (the host drops a draw that rounds to nothing) are left out.
std::vector<IntPoint> OnGrid(const Path& ring, const OffsetSetup& setup, bool closed = true) {
  std::vector<IntPoint> grid;
  grid.reserve(ring.size());
  for (const IntPoint& p : ring) {
    const IntPoint q(std::llround((static_cast<double>(p.X) - setup.grid_x) / setup.resolution),
                     std::llround((static_cast<double>(p.Y) - setup.grid_y) / setup.resolution));
    if (grid.empty() || !(grid.back() == q)) grid.push_back(q);
  }
  while (closed && grid.size() > 1 && grid.back() == grid.front()) grid.pop_back();
  return grid;
}

// Past this many segment pairs compared, the answer is "no crossing".
constexpr std::size_t kMaxCrossingWork = 4000000;

using GridSegment = std::pair<IntPoint, IntPoint>;

// True when two of the segments cross properly (each passes strictly between
// the other's ends; segments that only share an end, as the edges of one path
// do, never count): a sweep over the segments sorted by their left end,
// comparing only those whose x ranges overlap.
bool AnyCross(std::vector<GridSegment> segments) {
  const auto left = [](const GridSegment& s) { return std::min(s.first.X, s.second.X); };
  const auto right = [](const GridSegment& s) { return std::max(s.first.X, s.second.X); };
  std::sort(segments.begin(), segments.end(),
            [&](const GridSegment& a, const GridSegment& b) { return left(a) < left(b); });
  std::vector<const GridSegment*> active;
  std::size_t work = 0;
  for (const GridSegment& s : segments) {
    std::erase_if(active, [&](const GridSegment* t) { return right(*t) < left(s); });
    for (const GridSegment* t : active) {
      if (++work > kMaxCrossingWork) return false;
      const IntPoint &a = s.first, &b = s.second, &c = t->first, &d = t->second;
      if (Turn(a, b, c) * Turn(a, b, d) < 0 && Turn(c, d, a) * Turn(c, d, b) < 0) return true;
    }
    active.push_back(&s);
  }
  return false;
}

bool CrossesItself(const std::vector<IntPoint>& ring) {
  std::vector<GridSegment> segments;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    segments.emplace_back(ring[i], ring[(i + 1) % ring.size()]);
  }
  return ring.size() >= 4 && AnyCross(std::move(segments));
}

// True when the points of `path` lie where the host's grid can be reached with exact turns.
bool OnSmallGrid(const Path& path, const OffsetSetup& setup) {
  constexpr double kMaxGrid = 1 << 30;
  return setup.resolution >= 2 && std::all_of(path.begin(), path.end(), [&](const IntPoint& p) {
           return std::fabs(static_cast<double>(p.X) - setup.grid_x) <
                      kMaxGrid * setup.resolution &&
                  std::fabs(static_cast<double>(p.Y) - setup.grid_y) < kMaxGrid * setup.resolution;
         });
}

}  // namespace

bool CrossWhenRounded(const std::vector<Path>& lines, const OffsetSetup& setup) {
  std::vector<GridSegment> segments;
  for (const Path& line : lines) {
    if (!OnSmallGrid(line, setup)) return false;
    const std::vector<IntPoint> grid = OnGrid(line, setup, false);
    for (std::size_t i = 0; i + 1 < grid.size(); ++i) segments.emplace_back(grid[i], grid[i + 1]);
  }
  return AnyCross(std::move(segments));
}

void KeepApartWhenRounded(Paths& rings, const OffsetSetup& setup) {
  // Only where Clipper's grid is finer than the host's (the usual tenth of a unit) do its
  // points round back onto the host's grid; the grid's coordinates must also stay small
  // enough for exact turns.
  if (!(setup.resolution >= 2)) return;
  Paths kept;
  for (Path& ring : rings) {
    const bool small = OnSmallGrid(ring, setup);
    const std::vector<IntPoint> grid = small ? OnGrid(ring, setup) : std::vector<IntPoint>{};
    if (!small || !CrossesItself(grid)) {
      kept.push_back(std::move(ring));
      continue;
    }
    // The rounded ring made simple with its own winding kept: a pinched ring
    // becomes its lobes, and a sliver that the rounding turned over goes.
    const bool positive = ClipperLib::Orientation(ring);
    Clipper clipper;
    clipper.StrictlySimple(true);
    clipper.PreserveCollinear(true);
    clipper.AddPath(grid, ClipperLib::ptSubject, true);
    Paths simple;
    const ClipperLib::PolyFillType fill =
        positive ? ClipperLib::pftPositive : ClipperLib::pftNegative;
    clipper.Execute(ClipperLib::ctUnion, simple, fill, fill);
    for (Path& part : simple) {
      if (part.size() < 3) continue;
      if (!positive) std::reverse(part.begin(), part.end());  // Clipper hands back outers positive
      for (IntPoint& p : part) {
        p = IntPoint(std::llround(setup.grid_x + static_cast<double>(p.X) * setup.resolution),
                     std::llround(setup.grid_y + static_cast<double>(p.Y) * setup.resolution));
      }
      kept.push_back(std::move(part));
    }
  }
  rings = std::move(kept);
}

bool InsideRegion(const Paths& region, const IntPoint& p) {
  // The union output holds outer contours and holes without overlaps, so a
  // point is inside when an odd number of contours contain it.
  int count = 0;
  for (const Path& path : region) {
    const int where = ClipperLib::PointInPolygon(p, path);
    if (where < 0) return true;  // on the border
    count += where;
  }
  return (count & 1) != 0;
}

bool LinkInside(const Paths& region, const IntPoint& a, const IntPoint& b) {
  const double ax = static_cast<double>(a.X), ay = static_cast<double>(a.Y);
  const double dx = static_cast<double>(b.X) - ax, dy = static_cast<double>(b.Y) - ay;
  const double length = std::hypot(dx, dy);
  if (length == 0.0) return true;
  // Touching the border within a few units at either end is where the link
  // starts and ends, not a crossing.
  const double margin = std::min(0.25, 3.0 / length);
  for (const Path& path : region) {
    const std::size_t n = path.size();
    for (std::size_t i = 0; i < n; ++i) {
      const IntPoint& p = path[i];
      const IntPoint& q = path[(i + 1) % n];
      const double px = static_cast<double>(p.X), py = static_cast<double>(p.Y);
      const double ex = static_cast<double>(q.X) - px, ey = static_cast<double>(q.Y) - py;
      const double denom = dx * ey - dy * ex;
      if (denom == 0.0) continue;  // parallel: running along the border is allowed
      const double s = ((px - ax) * ey - (py - ay) * ex) / denom;  // along the link
      const double r = ((px - ax) * dy - (py - ay) * dx) / denom;  // along the edge
      if (s > margin && s < 1.0 - margin && r >= 0.0 && r <= 1.0) return false;
    }
  }
  const IntPoint mid((a.X + b.X) / 2, (a.Y + b.Y) / 2);
  return InsideRegion(region, mid);
}

namespace {

// Nearest neighbour by a uniform grid over the segments' starts. It picks what the plain
// search over the remaining segments picks: the least distance, and of equal ones the
// segment that plain search, swapping each pick to the front, would meet first.
void OrderByGrid(std::vector<Segment>& segments, IntPoint& pen) {
  const std::size_t n = segments.size();
  cInt min_x = segments[0].a.X, max_x = min_x, min_y = segments[0].a.Y, max_y = min_y;
  for (const Segment& s : segments) {
    min_x = std::min(min_x, s.a.X), max_x = std::max(max_x, s.a.X);
    min_y = std::min(min_y, s.a.Y), max_y = std::max(max_y, s.a.Y);
  }
  // About one start per cell.
  const auto side = static_cast<cInt>(std::ceil(std::sqrt(static_cast<double>(n))));
  const cInt size = std::max(max_x - min_x, max_y - min_y) / side + 1;
  const cInt columns = (max_x - min_x) / size + 1, rows = (max_y - min_y) / size + 1;
  auto cell = [&](const IntPoint& p) {
    return static_cast<std::size_t>((p.Y - min_y) / size * columns + (p.X - min_x) / size);
  };
  std::vector<std::size_t> first(static_cast<std::size_t>(columns * rows) + 1, 0);
  for (const Segment& s : segments) ++first[cell(s.a) + 1];
  for (std::size_t c = 1; c < first.size(); ++c) first[c] += first[c - 1];
  std::vector<std::size_t> items(n);
  {
    std::vector<std::size_t> next(first.begin(), first.end() - 1);
    for (std::size_t i = 0; i < n; ++i) items[next[cell(segments[i].a)]++] = i;
  }
  std::vector<std::size_t> at(n), position(n);  // the plain search's array, and its inverse
  for (std::size_t i = 0; i < n; ++i) at[i] = position[i] = i;
  std::vector<bool> taken(n, false);

  for (std::size_t i = 0; i < n; ++i) {
    const double fx = std::floor(static_cast<double>(pen.X - min_x) / static_cast<double>(size));
    const double fy = std::floor(static_cast<double>(pen.Y - min_y) / static_cast<double>(size));
    const double px = std::clamp(fx, -1.0, static_cast<double>(columns));
    const double py = std::clamp(fy, -1.0, static_cast<double>(rows));
    // Rings of cells round the pen's (clamped) cell; one ring farther than the best so far
    // holds nothing as near.
    const auto cx = static_cast<cInt>(px), cy = static_cast<cInt>(py);
    const cInt reach = std::max({cx, columns - 1 - cx, cy, rows - 1 - cy}) + 1;
    std::size_t best = n;
    double best_d = 0;
    for (cInt r = 0; r <= reach; ++r) {
      if (best != n) {
        // The pen lies within its cell or, clamped, beyond the grid: ring r keeps at
        // least (r - 1) cells from it.
        const double gap = static_cast<double>(r - 1) * static_cast<double>(size);
        if (gap > 0 && gap * gap > best_d) break;
      }
      for (cInt y = cy - r; y <= cy + r; ++y) {
        if (y < 0 || y >= rows) continue;
        const bool edge_row = y == cy - r || y == cy + r;
        for (cInt x = cx - r; x <= cx + r; x += edge_row ? 1 : 2 * std::max<cInt>(r, 1)) {
          if (x < 0 || x >= columns) continue;
          const auto c = static_cast<std::size_t>(y * columns + x);
          for (std::size_t k = first[c]; k < first[c + 1]; ++k) {
            const std::size_t item = items[k];
            if (taken[item]) continue;
            const double d = Distance2(pen, segments[item].a);
            if (best == n || d < best_d || (d == best_d && position[item] < position[best])) {
              best = item, best_d = d;
            }
          }
        }
      }
    }
    // The plain search swaps its pick to the front.
    const std::size_t moved = at[i], from = position[best];
    at[i] = best, position[best] = i;
    at[from] = moved, position[moved] = from;
    taken[best] = true;
    pen = segments[best].b;
  }
  std::vector<Segment> ordered(n);
  for (std::size_t i = 0; i < n; ++i) ordered[i] = segments[at[i]];
  segments.swap(ordered);
}

}  // namespace

void OrderSegments(std::vector<Segment>& segments, IntPoint& pen) {
  const std::size_t n = segments.size();
  if (n == 0) return;
  if (n > kMaxNearestNeighbourItems) {
    pen = segments.back().b;
  } else if (n > 512) {  // below this the plain search is quicker
    OrderByGrid(segments, pen);
  } else {
    // The starts as doubles side by side; the squared distances come out as Distance2's
    // (coordinates and their differences are exact in double).
    std::vector<double> xs(n), ys(n);
    for (std::size_t i = 0; i < n; ++i) {
      xs[i] = static_cast<double>(segments[i].a.X), ys[i] = static_cast<double>(segments[i].a.Y);
    }
    for (std::size_t i = 0; i < n; ++i) {
      const double px = static_cast<double>(pen.X), py = static_cast<double>(pen.Y);
      std::size_t best = i;
      double best_d = (px - xs[i]) * (px - xs[i]) + (py - ys[i]) * (py - ys[i]);
      for (std::size_t j = i + 1; j < n; ++j) {
        const double d = (px - xs[j]) * (px - xs[j]) + (py - ys[j]) * (py - ys[j]);
        if (d < best_d) best = j, best_d = d;
      }
      std::swap(segments[i], segments[best]);
      std::swap(xs[i], xs[best]), std::swap(ys[i], ys[best]);
      pen = segments[i].b;
    }
  }
}

namespace {

// Distance from the pen to where the chain would start, and how it would start.
struct Entry {
  double d2 = std::numeric_limits<double>::infinity();
  std::size_t vertex = 0;  // closed: the starting vertex
  bool reversed = false;   // open: drawn from its last point
};

Entry EntryOf(const Chain& chain, const IntPoint& pen) {
  Entry entry;
  if (chain.points.empty()) return entry;
  if (chain.closed) {
    for (std::size_t v = 0; v < chain.points.size(); ++v) {
      const double d = Distance2(pen, chain.points[v]);
      if (d < entry.d2) entry.d2 = d, entry.vertex = v;
    }
  } else {
    entry.d2 = Distance2(pen, chain.points.front());
    const double back = Distance2(pen, chain.points.back());
    if (chain.reversible && back < entry.d2) entry.d2 = back, entry.reversed = true;
  }
  return entry;
}

void Enter(Chain& chain, const Entry& entry, IntPoint& pen) {
  if (chain.points.empty()) return;
  if (chain.closed) {
    std::rotate(chain.points.begin(),
                chain.points.begin() + static_cast<std::ptrdiff_t>(entry.vertex),
                chain.points.end());
    pen = chain.points.front();  // a ring ends where it starts
  } else {
    if (entry.reversed) std::reverse(chain.points.begin(), chain.points.end());
    pen = chain.points.back();
  }
}

}  // namespace

void OrderChains(std::vector<Chain>& chains, IntPoint& pen) {
  const std::size_t n = chains.size();
  std::size_t vertices = 0;
  for (const Chain& c : chains) vertices += c.closed ? c.points.size() : 2;
  const bool nearest = n <= kMaxNearestNeighbourItems &&
                       static_cast<double>(n) * static_cast<double>(vertices) <= kMaxOrderingWork;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t best = i;
    Entry best_entry = EntryOf(chains[i], pen);
    for (std::size_t j = i + 1; nearest && j < n; ++j) {
      const Entry e = EntryOf(chains[j], pen);
      if (e.d2 < best_entry.d2) best = j, best_entry = e;
    }
    std::swap(chains[i], chains[best]);
    Enter(chains[i], best_entry, pen);
  }
}

}  // namespace qelhatching
