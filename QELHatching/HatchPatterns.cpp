// Each pattern of the list applied to one character's region.
#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>
#include <type_traits>
#include <typeinfo>

#include "HatchFill.h"
#include "QELEntity.h"

namespace qelhatching {

namespace {

bool Positive(double v) {
  return std::isfinite(v) && v > 0;
}

// The region shrunk (direction 0, and any value but 1) or grown (1) by the border
// gap. False for a gap that is negative, not finite, or reaches past the frame.
bool Gapped(const Region& region, float border_gap, int direction, const OffsetSetup& setup,
            Paths& out) {
  const double gap = region.frame.Units(border_gap);
  if (!std::isfinite(gap) || gap < 0 || gap > kMaxExtentUnits) return false;
  out = gap == 0 ? region.paths : OffsetPaths(region.paths, direction == 1 ? gap : -gap, setup);
  return true;
}

// A family in the region's frame; false for a gap that is not positive or is
// finer than two Clipper units (below the resolution, lines would merge).
bool MakeFamily(const Region& region, double angle, float gap, float base_x, float base_y,
                Family& family) {
  const Frame& f = region.frame;
  family.angle = angle;
  family.gap = f.Units(gap);
  family.base_x = f.Units(base_x - f.origin_x);
  family.base_y = f.Units(base_y - f.origin_y);
  return Positive(gap) && family.gap >= 2.0 && std::isfinite(angle) &&
         std::isfinite(family.base_x) && std::isfinite(family.base_y);
}

void AddContour(const Paths& paths, PatternOutput& out) {
  for (const Path& p : paths) out.chains.push_back(Chain{p, true, true});
}

void AddOrdered(std::vector<Chain> chains, IntPoint& pen, PatternOutput& out) {
  OrderChains(chains, pen);
  out.chains.insert(out.chains.end(), std::make_move_iterator(chains.begin()),
                    std::make_move_iterator(chains.end()));
}

std::vector<Chain> OpenChains(const std::vector<Path>& lines) {
  std::vector<Chain> chains;
  for (const Path& line : lines) chains.push_back(Chain{line, false, true});
  return chains;
}

// Rings level by level (outside-in or inside-out), each level travel-ordered;
// `centres` (when given) holds for each level the centre lines of the strip
// inside it where the next level collapses, drawn after that level's rings
// outside-in and before them inside-out.
void AddLevels(const std::vector<Paths>& levels, bool reverse, IntPoint& pen, PatternOutput& out,
               const std::vector<std::vector<Path>>* centres = nullptr) {
  for (std::size_t i = 0; i < levels.size(); ++i) {
    const std::size_t level = reverse ? levels.size() - 1 - i : i;
    if (reverse && centres != nullptr) AddOrdered(OpenChains((*centres)[level]), pen, out);
    std::vector<Chain> rings;
    for (const Path& p : levels[level]) rings.push_back(Chain{p, true, true});
    AddOrdered(std::move(rings), pen, out);
    if (!reverse && centres != nullptr) AddOrdered(OpenChains((*centres)[level]), pen, out);
  }
}

// The centre lines of each level's collapsing strip (see CentreLines); false
// when finding them would sample more than kMaxVerticesPerCharacter points.
bool CollapseLines(const Region& region, const std::vector<Paths>& levels, float gap,
                   const OffsetOptions& offset, std::vector<std::vector<Path>>& lines) {
  const double units = region.frame.Units(gap);
  const OffsetSetup setup = ResolveOffset(offset, region);
  std::size_t budget = kMaxVerticesPerCharacter;
  lines.assign(levels.size(), {});
  for (std::size_t k = 0; k < levels.size() && budget > 0; ++k) {
    lines[k] = CentreLines(levels[k], k + 1 < levels.size() ? levels[k + 1] : Paths{}, units, setup,
                           budget);
  }
  return budget > 0;
}

void Apply(const Region& region, const LinePattern& p, PatternOutput& out) {
  const OffsetSetup setup = ResolveOffset(p.offset, region);
  Paths gapped;
  Family family;
  if (!Gapped(region, p.border_gap, p.direction, setup, gapped) ||
      !MakeFamily(region, p.angle, p.line_gap, p.base_x, p.base_y, family)) {
    out.refused = true;
    return;
  }
  HatchLines(gapped, family, p.style, 2.0 * family.gap, out);
  if (p.with_offset && !out.refused) AddContour(gapped, out);
}

void Apply(const Region& region, const OptimizedPattern& p, PatternOutput& out) {
  const OffsetSetup setup = ResolveOffset(OffsetOptions{}, region);
  Paths gapped;
  Family family;
  if (!Gapped(region, p.border_gap, p.direction, setup, gapped) ||
      !MakeFamily(region, p.angle, p.line_gap, 0, 0, family) || std::isnan(p.max_link)) {
    out.refused = true;
    return;
  }
  // No base point is asked for: the lines run through the page origin, as the
  // line pattern's do with base (0, 0), so they still line up across characters.
  const double max_link = p.max_link > 0 ? region.frame.Units(p.max_link) : 2.0 * family.gap;
  HatchLines(gapped, family, 2, max_link, out);
  if (p.style == 3) {
    family.angle += std::numbers::pi / 2;
    HatchLines(gapped, family, 2, max_link, out);
  }
}

void Apply(const Region& region, const IncrementalPattern& p, PatternOutput& out) {
  const OffsetSetup setup = ResolveOffset(OffsetOptions{}, region);
  Paths gapped;
  if (p.passes < 1 || p.passes > kMaxPasses ||
      !Gapped(region, p.border_gap, p.direction, setup, gapped)) {
    out.refused = true;
    return;
  }
  for (int i = 0; i < p.passes && !out.refused; ++i) {
    Family family;
    const double angle = static_cast<double>(p.start_angle) + i * static_cast<double>(p.angle_step);
    if (!MakeFamily(region, angle, p.line_gap, 0, 0, family)) {
      out.refused = true;
      return;
    }
    // Lines through the page origin, like the line pattern with base (0, 0).
    HatchLines(gapped, family, p.style, 2.0 * family.gap, out);
    if (out.segments.size() > kMaxSegmentsPerCharacter) out.refused = true;
  }
}

// Rings `gap` apart inwards until the region is used up; false refuses the
// pattern (a gap that is not positive or under two resolution steps, or too
// many rings).
bool InwardRings(const Region& region, float gap, const OffsetOptions& offset,
                 std::vector<Paths>& levels) {
  const double units = region.frame.Units(gap);
  return Positive(gap) && units >= 2.0 &&
         Rings(region.paths, units, -1, -1, ResolveOffset(offset, region), levels);
}

void Apply(const Region& region, const OffsetFillingPattern& p, PatternOutput& out) {
  std::vector<Paths> levels;
  if (!InwardRings(region, p.gap, p.offset, levels)) {
    out.refused = true;
    return;
  }
  std::vector<std::vector<Path>> centres;
  if (!CollapseLines(region, levels, p.gap, p.offset, centres)) {
    out.refused = true;
    return;
  }
  IntPoint pen =
      levels.empty() || levels[0].empty() || levels[0][0].empty() ? IntPoint() : levels[0][0][0];
  AddLevels(levels, p.style == 1, pen, out, &centres);
}

void Apply(const Region& region, const OffsetInOutPattern& p, PatternOutput& out) {
  const OffsetSetup setup = ResolveOffset(p.offset, region);
  const double inside = region.frame.Units(p.inside_gap);
  const double outside = region.frame.Units(p.outside_gap);
  std::vector<Paths> in_levels, out_levels;
  const bool use_in = p.inside_count > 0, use_out = p.outside_count > 0;
  if ((use_in && (!Positive(p.inside_gap) || inside < 2.0)) ||
      (use_out && (!Positive(p.outside_gap) || outside < 2.0 ||
                   outside * p.outside_count > kMaxExtentUnits))) {
    out.refused = true;
    return;
  }
  if ((use_in && !Rings(region.paths, inside, -1, p.inside_count, setup, in_levels)) ||
      (use_out && !Rings(region.paths, outside, +1, p.outside_count, setup, out_levels))) {
    out.refused = true;
    return;
  }
  // Inside rings from the outline inwards, then outside rings from the outline outwards.
  IntPoint pen = region.paths[0][0];
  AddLevels(in_levels, false, pen, out);
  AddLevels(out_levels, false, pen, out);
}

void Apply(const Region& region, const HelixPattern& p, PatternOutput& out) {
  std::vector<Paths> levels;
  if (!InwardRings(region, p.gap, p.offset, levels)) {
    out.refused = true;
    return;
  }
  // The centre lines of the collapsing strips stand apart from the spirals:
  // drawn after them outside-in, before them inside-out.
  std::vector<std::vector<Path>> lines;
  if (!CollapseLines(region, levels, p.gap, p.offset, lines)) {
    out.refused = true;
    return;
  }
  std::vector<Chain> centres;
  for (const auto& level : lines) {
    for (Chain& c : OpenChains(level)) centres.push_back(std::move(c));
  }
  IntPoint pen = region.paths[0][0];
  if (p.style == 1) AddOrdered(std::move(centres), pen, out);
  const SpiralSetup setup{region.frame.Units(p.gap), region.frame.Units(1.0), p.style == 1,
                          p.connect};
  std::vector<Chain> spirals = Spirals(levels, lines, region.paths, setup, pen, out.refused);
  if (!spirals.empty()) pen = spirals.back().points.back();
  out.chains.insert(out.chains.end(), std::make_move_iterator(spirals.begin()),
                    std::make_move_iterator(spirals.end()));
  if (p.style != 1) AddOrdered(std::move(centres), pen, out);
}

void Apply(const Region& region, const LatticePattern& p, PatternOutput& out) {
  Family u, v;
  if (!MakeFamily(region, p.angle, p.gap_u, p.base_x, p.base_y, u) ||
      !MakeFamily(region, p.angle + std::numbers::pi / 2, p.gap_v, p.base_x, p.base_y, v)) {
    out.refused = true;
    return;
  }
  const int style = p.serpentine ? 1 : 0;
  HatchLines(region.paths, u, style, 0, out);
  HatchLines(region.paths, v, style, 0, out);
  if (out.segments.size() > kMaxSegmentsPerCharacter) out.refused = true;
}

}  // namespace

double ChordTolerance(const std::vector<HatchPattern>& patterns, double unit_size) {
  double smallest = std::numeric_limits<double>::infinity();
  auto use = [&](double gap) {
    if (Positive(gap)) smallest = std::min(smallest, gap);
  };
  for (const HatchPattern& pattern : patterns) {
    std::visit(
        [&](const auto& p) {
          using T = std::decay_t<decltype(p)>;
          if constexpr (std::is_same_v<T, LinePattern> || std::is_same_v<T, OptimizedPattern> ||
                        std::is_same_v<T, IncrementalPattern>) {
            use(p.line_gap);
          } else if constexpr (std::is_same_v<T, OffsetFillingPattern> ||
                               std::is_same_v<T, HelixPattern>) {
            use(p.gap);
          } else if constexpr (std::is_same_v<T, OffsetInOutPattern>) {
            if (p.inside_count > 0) use(p.inside_gap);
            if (p.outside_count > 0) use(p.outside_gap);
          } else {
            use(p.gap_u);
            use(p.gap_v);
          }
        },
        pattern);
  }
  // Never finer than one Clipper unit: below that the rounding decides anyway.
  const double floor = unit_size / kUnitsPerUserUnit;
  return std::max(floor, std::min(0.001 * unit_size, smallest / 50.0));
}

namespace {
// Whether every pattern cuts the region with parallel lines and nothing else: no border gap
// (an offset of the region), no outline drawn, no connected serpentine (its links are
// checked against the border).
bool ScanOnly(const std::vector<HatchPattern>& patterns) {
  return std::all_of(patterns.begin(), patterns.end(), [](const HatchPattern& pattern) {
    if (const auto* p = std::get_if<LinePattern>(&pattern)) {
      return p->border_gap == 0 && !p->with_offset && p->style != 2;
    }
    if (const auto* p = std::get_if<IncrementalPattern>(&pattern)) {
      return p->border_gap == 0 && p->style != 2;
    }
    return std::holds_alternative<LatticePattern>(pattern);
  });
}
}  // namespace

CQELLine* LinePool::Make(const NURBSPoint& a, const NURBSPoint& b) {
  if (spare_.empty()) return new CQELLine(a, b);
  std::unique_ptr<CQELLine> line = std::move(spare_.back());
  spare_.pop_back();
  *line = CQELLine(a, b);  // everything as new, whatever a host did to it before
  return line.release();
}

void LinePool::Return(CQELEntity* entity) {
  if (entity != nullptr && typeid(*entity) == typeid(CQELLine) && spare_.size() < kMaxSpareLines) {
    spare_.emplace_back(static_cast<CQELLine*>(entity));
  } else {
    delete entity;
  }
}

void FillCharacter(const std::vector<std::unique_ptr<CQELEntity>>& outline,
                   const std::vector<HatchPattern>& patterns, double unit_size,
                   std::vector<CQELEntity*>& fill, std::vector<CQELPolyLine*>& polylines,
                   LinePool* pool) {
  if (patterns.empty() || outline.empty()) return;
  Region region;
  try {
    region =
        BuildRegion(outline, ChordTolerance(patterns, unit_size), unit_size, ScanOnly(patterns));
  } catch (...) {  // Clipper's range error or an allocation failure: no fill at all
    return;
  }
  FillRegion(region, patterns, fill, polylines, pool);
}

void FillRegion(const Region& region, const std::vector<HatchPattern>& patterns,
                std::vector<CQELEntity*>& fill, std::vector<CQELPolyLine*>& polylines,
                LinePool* pool) {
  if (region.paths.empty()) return;
  const Frame& frame = region.frame;

  for (const HatchPattern& pattern : patterns) {
    PatternOutput out;
    try {
      std::visit([&](const auto& p) { Apply(region, p, out); }, pattern);
    } catch (...) {
      out.refused = true;
    }
    if (out.refused) continue;
    for (const Segment& s : out.segments) {
      const NURBSPoint a(frame.OutX(s.a.X), frame.OutY(s.a.Y));
      const NURBSPoint b(frame.OutX(s.b.X), frame.OutY(s.b.Y));
      fill.push_back(pool != nullptr ? pool->Make(a, b) : new CQELLine(a, b));
    }
    for (const Chain& c : out.chains) {
      if (c.points.size() < 2) continue;
      auto* poly = new CQELPolyLine();
      poly->SetClosed(c.closed ? 1 : 0);
      poly->GetPoints().reserve(c.points.size());
      for (const IntPoint& q : c.points) poly->AddPoint(frame.OutX(q.X), frame.OutY(q.Y));
      polylines.push_back(poly);
    }
  }
}

}  // namespace qelhatching
