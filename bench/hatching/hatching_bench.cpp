// Hatching a 1,000-character text: each character's placed outline goes
// through the hatching exchange with a line hatch at 1/50 of the cap height
// (serpentine, 45 degrees) and an offset fill at 1/20. The floor is Clipper's
// own open-path clipping of the same lines against the same united regions,
// with the regions and lines prepared outside the timing; beside it the line
// hatch's scanline cut of the same lines alone. The offset fill alone has its own
// floor: Clipper offsetting the same regions ring by ring.
#include <benchmark/benchmark.h>
#include <polyclipping/clipper.hpp>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "HatchFill.h"
#include "QELEntity.h"
#include "qelhatching/qelhatching.h"
#include "vuzodo/vuzodo.h"

namespace {

using Contour = std::vector<std::pair<double, double>>;

constexpr double kAngle = 0.785398;  // the line hatch's direction, radians

std::u16string Text() {
  const std::u16string words =
      u"The quick brown fox jumps over the lazy dog while 0123456789 serial numbers mark "
      u"every part. ";
  std::u16string text;
  while (text.size() < 1000) text += words;
  text.resize(1000);
  return text;
}

// The closed contours of character `index` as the border array draws them.
std::vector<Contour> Outline(int index) {
  int* data = nullptr;
  const int n = GetOutLinesEx(index, EN_RT_BORDER, &data, nullptr);
  std::vector<Contour> contours;
  double x = 0, y = 0;
  for (int p = 0; p < n && data[p] != -1;) {
    const int code = data[p];
    const double nx = x + data[p + 1], ny = y + data[p + 2];
    if (code == 41 || code == 42) {
      if (contours.empty() || contours.back().empty()) contours.push_back({{x, y}});
      contours.back().emplace_back(nx, ny);
    } else if (!contours.empty() && !contours.back().empty()) {
      contours.push_back({});
    }
    x = nx, y = ny;
    p += code == 42 ? 5 : 3;
  }
  DeleteTTFData(data);
  std::erase_if(contours, [](const Contour& c) { return c.size() < 4; });
  return contours;
}

struct Text1000 {
  std::vector<std::vector<Contour>> characters;  // output units
  double cap_height = 0;

  Text1000() {
    InitializeTTF(1000.0f);
    SetDefaults();
    std::u16string h = u"H";
    AppendCharactersEx(reinterpret_cast<unsigned short*>(h.data()));
    double lo = 1e300, hi = -1e300;
    for (const Contour& c : Outline(0)) {
      for (const auto& p : c) lo = std::min(lo, p.second), hi = std::max(hi, p.second);
    }
    cap_height = hi - lo;
    FinishText();
    std::u16string text = Text();
    AppendCharactersEx(reinterpret_cast<unsigned short*>(text.data()));
    for (int i = 0; i < static_cast<int>(text.size()); ++i) characters.push_back(Outline(i));
    FinishText();
  }
};

const Text1000& Characters() {
  static const Text1000 text;
  return text;
}

void HatchAll(benchmark::State& state, bool with_line_hatch, bool with_offset_fill) {
  const Text1000& text = Characters();
  ClearListOfHatchPatterns();
  const auto line_gap = static_cast<float>(text.cap_height / 50);
  if (with_line_hatch) {
    AddHatchPatternLine(0, BORDER_GAP_INWARD, line_gap, static_cast<float>(kAngle), 0, 0,
                        HATCH_SERPENTINE, EN_FALSE);
  }
  if (with_offset_fill) {
    AddHatchPatternOffsetFilling(static_cast<float>(text.cap_height / 20), EN_OFFSET_OUTSIDE_IN);
  }
  std::size_t produced = 0;
  for (auto _ : state) {
    for (const auto& contours : text.characters) {
      std::vector<CQELEntity*> outline;
      for (const Contour& c : contours) {
        auto* poly = new CQELPolyLine();
        for (const auto& [x, y] : c) poly->AddPoint(x, y);
        outline.push_back(poly);
      }
      AddCharacterOutline(&outline);
      std::vector<CQELPolyLine*>* polylines = nullptr;
      produced += GetFilledEntityList(&polylines)->size() + polylines->size();
      ClearEntityList();
    }
  }
  benchmark::DoNotOptimize(produced);
  ClearListOfHatchPatterns();
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.characters.size()));
}

void BM_HatchText(benchmark::State& state) {
  HatchAll(state, true, true);
}
BENCHMARK(BM_HatchText)->Unit(benchmark::kMillisecond);

void BM_LineHatchOnly(benchmark::State& state) {
  HatchAll(state, true, false);
}
BENCHMARK(BM_LineHatchOnly)->Unit(benchmark::kMillisecond);

void BM_OffsetFillOnly(benchmark::State& state) {
  HatchAll(state, false, true);
}
BENCHMARK(BM_OffsetFillOnly)->Unit(benchmark::kMillisecond);

// Per character the united region and the lines of the line hatch's grid (same
// resolution, U / 10000), prepared once, outside the timing.
struct Prepared {
  std::vector<ClipperLib::Paths> regions, lines;
  double gap = 0;  // Clipper units

  Prepared() {
    const Text1000& text = Characters();
    const double scale = 10.0;  // Clipper units per output unit at U = 1000
    gap = text.cap_height / 50 * scale;
    const double dx = std::cos(kAngle), dy = std::sin(kAngle);
    for (const auto& contours : text.characters) {
      ClipperLib::Paths paths;
      for (const Contour& c : contours) {
        ClipperLib::Path path;
        for (const auto& [x, y] : c) {
          path.emplace_back(std::llround(x * scale), std::llround(y * scale));
        }
        paths.push_back(std::move(path));
      }
      ClipperLib::Clipper united;
      united.AddPaths(paths, ClipperLib::ptSubject, true);
      ClipperLib::Paths region;
      united.Execute(ClipperLib::ctUnion, region, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
      double u0 = 1e300, u1 = -1e300, t0 = 1e300, t1 = -1e300;
      for (const auto& path : region) {
        for (const auto& p : path) {
          const double u = (-dy * p.X + dx * p.Y) / gap, t = dx * p.X + dy * p.Y;
          u0 = std::min(u0, u), u1 = std::max(u1, u), t0 = std::min(t0, t), t1 = std::max(t1, t);
        }
      }
      ClipperLib::Paths family;
      for (double k = std::ceil(u0); k <= u1; ++k) {
        const double cx = -dy * gap * k, cy = dx * gap * k;
        family.push_back({ClipperLib::IntPoint(std::llround(cx + dx * (t0 - 2)),
                                               std::llround(cy + dy * (t0 - 2))),
                          ClipperLib::IntPoint(std::llround(cx + dx * (t1 + 2)),
                                               std::llround(cy + dy * (t1 + 2)))});
      }
      regions.push_back(std::move(region));
      lines.push_back(std::move(family));
    }
  }
};

const Prepared& Floor() {
  static const Prepared prepared;
  return prepared;
}

// The floor: Clipper's open-path clip of the prepared lines.
void BM_ClipperClipFloor(benchmark::State& state) {
  const Prepared& floor = Floor();
  const auto& regions = floor.regions;
  const auto& lines = floor.lines;
  std::size_t pieces = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < regions.size(); ++i) {
      if (regions[i].empty()) continue;
      ClipperLib::Clipper clipper;
      clipper.AddPaths(lines[i], ClipperLib::ptSubject, false);
      clipper.AddPaths(regions[i], ClipperLib::ptClip, true);
      ClipperLib::PolyTree tree;
      clipper.Execute(ClipperLib::ctIntersection, tree, ClipperLib::pftNonZero,
                      ClipperLib::pftNonZero);
      ClipperLib::Paths open;
      ClipperLib::OpenPathsFromPolyTree(tree, open);
      pieces += open.size();
    }
  }
  benchmark::DoNotOptimize(pieces);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(regions.size()));
}
BENCHMARK(BM_ClipperClipFloor)->Unit(benchmark::kMillisecond);

// The line hatch's own scanline cut of the same lines (the family yields the very lines
// prepared for the floor).
void BM_ScanlineCut(benchmark::State& state) {
  const Prepared& floor = Floor();
  const qelhatching::Family family{kAngle, floor.gap, 0.0, 0.0};
  std::size_t pieces = 0;
  for (auto _ : state) {
    for (const auto& region : floor.regions) {
      if (region.empty()) continue;
      bool refused = false;
      pieces += qelhatching::ScanFamily(region, family, refused).size();
    }
  }
  benchmark::DoNotOptimize(pieces);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(floor.regions.size()));
}
BENCHMARK(BM_ScanlineCut)->Unit(benchmark::kMillisecond);

}  // namespace

// The offset fill's floor: Clipper's own offsetting of the prepared regions, each ring from the
// one before by the fill's gap (cap/20) with its default corners (mitred, limit 2), until
// nothing is left; no spike removal, rounding check or ordering.
void BM_ClipperOffsetFloor(benchmark::State& state) {
  const Prepared& floor = Floor();
  const double gap = floor.gap * 50 / 20;
  std::size_t rings = 0;
  for (auto _ : state) {
    for (const auto& region : floor.regions) {
      ClipperLib::Paths current = region;
      while (!current.empty()) {
        ClipperLib::ClipperOffset offset(2.0, 0.25);
        offset.AddPaths(current, ClipperLib::jtMiter, ClipperLib::etClosedPolygon);
        offset.Execute(current, -gap);
        rings += current.size();
      }
    }
  }
  benchmark::DoNotOptimize(rings);
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(floor.regions.size()));
}
BENCHMARK(BM_ClipperOffsetFloor)->Unit(benchmark::kMillisecond);
