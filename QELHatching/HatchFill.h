// The geometry behind the pattern list: the fill region of one character, line
// families clipped to it, offset rings and spirals, and the travel order.
//
// All work happens in Clipper's integer plane. A character's coordinates are
// moved to a local origin (the centre of its outline's box) and multiplied by
// the scale of its Frame, so Clipper sees small integers whatever the text's
// position on the page.
#pragma once

#include <polyclipping/clipper.hpp>

#include <cstddef>
#include <memory>
#include <utility>
#include <vector>

#include "HatchPattern.h"
#include "QELLine.h"

class CQELEntity;
class CQELPolyLine;

namespace qelhatching {

using ClipperLib::cInt;
using ClipperLib::IntPoint;
using ClipperLib::Path;
using ClipperLib::Paths;

// Sign of the turn a -> b -> c: 1 to the left, -1 to the right, 0 on one line. Exact while
// every coordinate stays within 2^30 of zero (a region's frame keeps them within
// kMaxExtentUnits, the host's grid is checked for it), so that each product fits 63 bits.
inline int Turn(const IntPoint& a, const IntPoint& b, const IntPoint& c) {
  const cInt cross = (b.X - a.X) * (c.Y - a.Y) - (b.Y - a.Y) * (c.X - a.X);
  return (cross > 0) - (cross < 0);
}

// ---- hard limits: a pattern that would go past one of them produces nothing
// for the character (the gap is far too small for the glyph) ----

// The bounds on a character's work below allow about a second of it in a release build and
// twenty times that under the sanitizers, past the fuzzers' limit of ten seconds an input. A
// fuzzing build divides them by this, so that the same refusals come at a cost it can afford.
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
inline constexpr std::size_t kWorkDivisor = 100;
#else
inline constexpr std::size_t kWorkDivisor = 1;
#endif

// Straight segments (or lines before clipping) one pattern may produce for one character.
inline constexpr std::size_t kMaxSegmentsPerCharacter = 200000 / kWorkDivisor;
// Offset rings (levels) one pattern may produce for one character.
inline constexpr std::size_t kMaxRingsPerCharacter = 5000 / kWorkDivisor;
// Vertices of one ring (one offset level). Bevelled corners double a convex ring's vertices at
// every level, and Clipper's union of such a ring of nearly coincident points costs about the
// square of its size (a 56,000-vertex ring took a second): without this bound, 100 outside
// rings of a square ran for minutes before the per-character bound stopped them. A glyph's
// ring has hundreds to a few thousand vertices, round corners included. A fuzzing build takes a
// tenth (the cost goes with the square; a hundredth would refuse most glyphs).
inline constexpr std::size_t kMaxVerticesPerRing = kWorkDivisor == 1 ? 10000 : 1000;
// Vertices of all rings and paths one pattern may produce for one character; also the points
// sampled along the sides of collapsing strips to find their centre lines, which for a gap of
// a few output units are many more than the lines keep (a character a thousand output units
// high, filled a quarter of a unit apart, sampled 56 million for five seconds before another
// bound refused it).
inline constexpr std::size_t kMaxVerticesPerCharacter = 4000000 / kWorkDivisor;
// Line families of one incremental pattern.
inline constexpr int kMaxPasses = 64;
// Vertices one flattened arc may get; a finer chord would only cost memory.
inline constexpr std::size_t kMaxArcSegments = 65536;
// Resolution: Clipper units per unit of the host's length (output units / U).
// 1e4 keeps 0.1 micrometre when the host works in millimetres.
inline constexpr double kUnitsPerUserUnit = 1e4;
// The largest extent of a character in Clipper units; a bigger character
// gets a coarser scale so that offsets and products stay in Clipper's fast range.
inline constexpr double kMaxExtentUnits = 1e8;
// Ordering by nearest neighbour is quadratic; past this many items (or this
// many item-by-vertex comparisons) the natural order is kept, which for lines
// is already a raster order.
inline constexpr std::size_t kMaxNearestNeighbourItems = 4000;
inline constexpr double kMaxOrderingWork = 1e8 / kWorkDivisor;
// Open pieces (lines, arcs, open polylines) chained into contours per character;
// past this the pieces are left open (chaining is quadratic).
inline constexpr std::size_t kMaxChainedPieces = 20000;
// Link checks of connected serpentines and ring-tree matching compare against
// every border edge; past this many comparisons the pattern is refused.
inline constexpr double kMaxEdgeWork = 2e8 / kWorkDivisor;
// Line numbers beyond this (a base point absurdly far from the character) are refused.
inline constexpr double kMaxLineIndex = 1e12;
// Open lines of more than this many points keep their loops (see RemoveLoops).
inline constexpr std::size_t kMaxLoopCheck = 4000;

// Maps output units (doubles, y up) to Clipper units and back.
struct Frame {
  double scale = 1.0;                     // Clipper units per output unit
  double origin_x = 0.0, origin_y = 0.0;  // output units, mapped to Clipper (0, 0)

  IntPoint ToInt(double x, double y) const;
  double OutX(cInt x) const { return static_cast<double>(x) / scale + origin_x; }
  double OutY(cInt y) const { return static_cast<double>(y) / scale + origin_y; }
  // A length in output units as Clipper units (not rounded).
  double Units(double length) const { return length * scale; }
};

// One character's fill region: closed contours united with the nonzero rule.
// The paths are Clipper's union output (outer contours and holes, no overlaps), or, in a
// region built for scanline patterns only, the character's rings themselves where they cut
// every line as their union does (straightened by RingsCutAsTheirUnion).
struct Region {
  Frame frame;
  Paths paths;
  double unit_size = 1000.0;     // output units per user unit, for the defaults
  double chord_tolerance = 1.0;  // output units, for arcs and round offset corners
};

// Builds the region from a character's entities. Arcs are flattened with
// `chord_tolerance` (output units); open pieces are chained end to end and a
// chain whose ends meet within the tolerance is closed; dots and chains that
// stay open enclose nothing. Returns an empty region when nothing encloses area
// or a coordinate is not finite.
// `scan_only`: the region feeds nothing but ScanFamily under the nonzero rule, so that rings
// that cut as their union are kept, straightened, instead of united.
Region BuildRegion(const std::vector<std::unique_ptr<CQELEntity>>& outline, double chord_tolerance,
                   double unit_size, bool scan_only = false);

// Whether `rings` (Clipper units within kMaxExtentUnits of the origin) give ScanFamily under
// the nonzero rule the pieces their nonzero union gives, once each vertex that lies between
// its neighbours on their line is dropped (as the union drops it): no vertex repeated, no
// spike, three vertices or more a ring, and no two edges meeting except neighbours at their
// shared vertex. Then `straightened` receives the rings so straightened. False also when the
// check would cost more than about 64 comparisons an edge.
bool RingsCutAsTheirUnion(const Paths& rings, Paths& straightened);

// Several characters as one region (welding): each character's region built as
// BuildRegion builds it (nonzero within the character), then all united, in one frame
// spanning every character (origin at the centre of their box). Returns the union's
// connected pieces, each an outer contour with the holes right inside it, in travel order
// (each piece's outer contour starts nearest to the previous one's start, the first nearest
// to the page origin). `open` receives the chains that stay open (strokes enclosing
// nothing), output units, arcs flattened with `chord_tolerance`. A character with a point
// that is not finite adds nothing.
std::vector<Region> UniteRegions(
    const std::vector<std::vector<std::unique_ptr<CQELEntity>>>& outlines, double chord_tolerance,
    double unit_size, std::vector<std::vector<std::pair<double, double>>>& open);

// Offset setup of the "Ex" requests, resolved for one region.
struct OffsetSetup {
  ClipperLib::JoinType join = ClipperLib::jtMiter;
  double miter_limit = 2.0;  // multiples of the offset distance
  double arc_tolerance = 1;  // Clipper units
  bool cleanup = false;      // remove self-intersections and slivers afterwards
  double resolution = 10;    // Clipper units per output unit (the host's rounding step)
  // Clipper coordinates of a point the host's rounding keeps as it is (a whole output unit);
  // the host's grid runs from there in steps of `resolution`.
  double grid_x = 0, grid_y = 0;
};
OffsetSetup ResolveOffset(const OffsetOptions& options, const Region& region);

// The paths grown (delta > 0) or shrunk (delta < 0) by |delta| Clipper units.
Paths OffsetPaths(const Paths& paths, double delta, const OffsetSetup& setup);

// Removes the tips of a closed path that turn back within `width` of the
// line through their neighbours (narrower than the host's rounding).
void RemoveSpikes(Path& path, double width);

// Rings whose sides pass within a fraction of an output unit of each other (a
// neck exactly two offsets wide, a ring a few units across) can cross once the
// host rounds them to whole output units, though Clipper keeps them apart in
// its finer units. Such a ring is replaced by its rounded form made simple
// again: it may split where it pinched, and a part with no area goes. Rings
// that round without a crossing are left exactly as they are.
void KeepApartWhenRounded(Paths& rings, const OffsetSetup& setup);

// True when two of the open lines, or two parts of one, cross once the host
// rounds them to whole output units.
bool CrossWhenRounded(const std::vector<Path>& lines, const OffsetSetup& setup);

// Cuts the loops out of an open line: each edge in turn, against the later
// edges from the far end back; where one crosses it, the part between them is
// replaced by the crossing point. A closed line's first and last edges do not
// count as a loop. Lines of more than kMaxLoopCheck points are left as they are.
void RemoveLoops(Path& line);

// Squared distance from (px, py) to the segment a-b (Clipper units).
double SegmentDistance2(double px, double py, const IntPoint& a, const IntPoint& b);

// True when `p` lies inside the region or on its border.
bool InsideRegion(const Paths& region, const IntPoint& p);

// True when the straight link from `a` to `b` (both on or inside the region's
// border) stays inside: it crosses no edge and its midpoint is inside.
bool LinkInside(const Paths& region, const IntPoint& a, const IntPoint& b);

// ---- what a pattern produces, in Clipper units ----

struct Segment {
  IntPoint a, b;  // drawn from a to b
};

struct Chain {
  Path points;
  bool closed = false;
  bool reversible = true;  // open paths only: false when the drawing direction matters
};

struct PatternOutput {
  std::vector<Segment> segments;  // independent straight segments
  std::vector<Chain> chains;      // connected paths
  bool refused = false;           // a limit was hit: the pattern yields nothing
};

// ---- line families ----

// One family of parallel lines: direction `angle` (radians), lines through
// base + k * gap * normal, all in Clipper units of the region's frame.
struct Family {
  double angle = 0.0;
  double gap = 0.0;                   // Clipper units, > 0
  double base_x = 0.0, base_y = 0.0;  // Clipper units
};

// One clipped piece of line k, from parameter t0 to t1 (t0 <= t1) along the
// family direction; a is the t0 end.
struct LineSegment {
  long long k = 0;
  double t0 = 0.0, t1 = 0.0;
  IntPoint a, b;
};

// One line of a family as it is cut: both ends rounded to Clipper units.
struct FamilyLine {
  IntPoint from, to;  // from lies at the lower t
};

// The family's lines that can meet `region`, k = first, first + 1, ...,
// reaching two units past the region's extent along the family. Empty when no
// line meets it; `refused` is set for more than kMaxSegmentsPerCharacter lines
// or a line number past kMaxLineIndex.
std::vector<FamilyLine> FamilyLines(const Paths& region, const Family& family, long long& first,
                                    bool& refused);

// Which points a set of contours encloses: a nonzero or an odd winding number.
enum class FillRule { kNonZero, kEvenOdd };

// The piece of line k between a and b, its ends ordered along the family's direction
// (dx, dy) = (cos angle, sin angle), which the caller computes once.
LineSegment FamilyPiece(const Family& family, double dx, double dy, long long k, const IntPoint& a,
                        const IntPoint& b);

// Sorts pieces by (k, t0).
void SortPieces(std::vector<LineSegment>& pieces);

// The pieces of the family's lines (FamilyLines) inside `region` under `rule`, sorted by
// (k, t0), found by a scanline walk: each line is cut where it crosses the region's
// edges. `refused` is set when the family would exceed kMaxSegmentsPerCharacter.
//
// A crossing is where an edge goes from one side of the line to the other; a vertex on
// the line counts with the side to its left (looking along the family), so an edge lying
// on the line crosses nothing, a piece runs along such an edge only where the region lies
// on the line's right, a vertex touched from the right yields two crossings at the same
// point and one touched from the left none. Crossings at the same point are taken
// together, so a touch marks nothing and a piece runs on through a vertex where two
// contours meet. Each crossing point is rounded with Clipper's floating-point steps; the
// pieces differ from ClipFamily's only within a few units of the border, where Clipper's
// sweep moves a crossing onto a nearby vertex's height, splits a piece at a touching
// vertex or keeps a run along an edge (docs/hatching.md, "Cutting the lines").
std::vector<LineSegment> ScanFamily(const Paths& region, const Family& family, bool& refused,
                                    FillRule rule = FillRule::kNonZero);

// The pieces found by Clipper's open-path intersection; kept as the reference for the
// scanline walk.
std::vector<LineSegment> ClipFamily(const Paths& region, const Family& family, bool& refused,
                                    FillRule rule = FillRule::kNonZero);

// The way along the region's border from `from` to `to` (both on the same
// contour) when it is at most `max_length` long: the border vertices between
// them, shorter way round, in `walk`. False when there is no such way.
bool BorderWalk(const Paths& region, const IntPoint& from, const IntPoint& to, double max_length,
                Path& walk);

// Joins neighbouring pieces into serpentine chains: from the end of a piece on
// line k to the nearest free piece on line k + 1, along the border when that
// way is at most `max_link` (Clipper units) long, else by a straight link of
// at most that length that stays inside `region`.
std::vector<Chain> Serpentines(const std::vector<LineSegment>& pieces, const Paths& region,
                               double max_link, bool& refused);

// Line hatch of one family set (style 0..5, see docs/hatching.md) into `out`.
// `max_link` is the link limit of the connected style.
void HatchLines(const Paths& region, const Family& family, int style, double max_link,
                PatternOutput& out);

// ---- rings ----

// Rings `gap` apart (Clipper units) inside (sign -1) or outside (+1) `region`,
// level by level; at most `count` levels (count < 0: until the region is used
// up). Returns false when a limit is hit.
bool Rings(const Paths& region, double gap, int sign, long long count, const OffsetSetup& setup,
           std::vector<Paths>& levels);

// The medial axis of a piece (its outer contour, then its holes): the lines
// that run down the middle of every arm of it, as open lines between its ends
// and forks, and closed ones round holes. Edges that come within `clearance`
// of the border (those running out to its corners) are left out, and so are
// arms from a fork shorter than twice the clearance there.
std::vector<Path> Skeleton(const Paths& piece, double clearance);

// Where the rings collapse (two walls less than two gaps apart inside
// `outer`, one level, with `inner` the next level or empty), the centre lines
// of what both leave unmarked: the strip deeper than half a gap inside `outer`
// and farther than half a gap from `inner`, as open lines (a closed one round
// a hole starts and ends at the same point). They keep half a gap from both;
// their points stay two output units (`resolution` Clipper units each) apart.
// A line is found by sampling its strip's sides an eighth of a gap apart; the
// samples come out of `budget`, which is 0 once a line needed more than was left.
std::vector<Path> CentreLines(const Paths& outer, const Paths& inner, double gap,
                              const OffsetSetup& setup, std::size_t& budget);

// The rings of `levels` joined into spirals (one per unbranched run of nested
// rings), in travel order from `pen`; a step from one ring to the next stays
// between the two levels and crosses no ring and none of `centres` (the
// centre lines below each level, see CentreLines), else the spiral breaks
// there; `inside_out` starts each on its innermost ring; `connect` joins the
// spirals where the straight link stays inside `region`.
struct SpiralSetup {
  double gap = 0;          // Clipper units between the levels; a step is at most two gaps
  double resolution = 10;  // Clipper units per output unit: a step keeps that from other rings
  bool inside_out = false;
  bool connect = false;
};
std::vector<Chain> Spirals(const std::vector<Paths>& levels,
                           const std::vector<std::vector<Path>>& centres, const Paths& region,
                           const SpiralSetup& setup, const IntPoint& pen, bool& refused);

// ---- travel order ----

// Orders segments by nearest neighbour from `pen` without changing their
// direction; `pen` moves to the last end.
void OrderSegments(std::vector<Segment>& segments, IntPoint& pen);
// Orders chains by nearest neighbour from `pen`: reversible open chains may be reversed,
// closed ones start at their vertex nearest to the pen.
void OrderChains(std::vector<Chain>& chains, IntPoint& pen);

// ---- the whole fill of one character ----

// Line entities for the hatch segments handed out, reused once handed back: a hatched text
// hands out a line for every segment, and allocating and releasing each was about a tenth of a
// line-hatched job. At most kMaxSpareLines wait between characters.
inline constexpr std::size_t kMaxSpareLines = 4096;
class LinePool {
 public:
  // A line from a to b, as new CQELLine(a, b) makes it; the caller owns it.
  CQELLine* Make(const NURBSPoint& a, const NURBSPoint& b);
  // Takes back an entity handed out: a line of exactly that class waits for reuse, anything
  // else (the list is the host's to change) is deleted.
  void Return(CQELEntity* entity);

 private:
  std::vector<std::unique_ptr<CQELLine>> spare_;
};

// Fills `outline` with every pattern of `patterns`, in list order, appending
// new entities to `fill` (CQELLine) and `polylines` (CQELPolyLine); the caller
// owns them. A pattern that hits a limit or meets a bad value adds nothing. The
// lines come from `pool` when one is given.
void FillCharacter(const std::vector<std::unique_ptr<CQELEntity>>& outline,
                   const std::vector<HatchPattern>& patterns, double unit_size,
                   std::vector<CQELEntity*>& fill, std::vector<CQELPolyLine*>& polylines,
                   LinePool* pool = nullptr);

// Fills a region built by BuildRegion or UniteRegions with every pattern, as FillCharacter
// fills a character's.
void FillRegion(const Region& region, const std::vector<HatchPattern>& patterns,
                std::vector<CQELEntity*>& fill, std::vector<CQELPolyLine*>& polylines,
                LinePool* pool = nullptr);

// The chord tolerance for the patterns, output units: 1/50 of the smallest gap
// in use and at most 1/1000 of the unit size, never below one Clipper unit.
double ChordTolerance(const std::vector<HatchPattern>& patterns, double unit_size);

}  // namespace qelhatching
