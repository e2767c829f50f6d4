// Placement steps shared by the column and path layouts: a glyph's metrics,
// its cell box moved onto the line, and its outline cloned and transformed
// (optionally bent first). Output units throughout, unless stated.
#pragma once

#include <utility>
#include <vector>

#include "CharBufferHolder.h"
#include "TTFState.h"

class CQELEntity;

namespace vuzodo::placement {

// The six glyph metrics, font metric units (already normalised): black box
// width and height, glyph origin x and y (top left of the black box), cell
// increment x and y. All 0 for a missing character.
struct GlyphMetrics {
  double bbx = 0, bby = 0, ox = 0, oy = 0, incx = 0, incy = 0;
};

// The steps below run once a character on every layout and are defined here, where the layout
// inlines them: called across units, each returned its box through memory, and the caller's wider
// reads of the fields just written stalled on the stores (about a tenth of an append's layout).
inline GlyphMetrics MetricsOf(const CharBufferHolder* ch) {
  if (ch == nullptr) return {};
  const CharMetrics& m = ch->GetMetrics();
  return GlyphMetrics{m[kBlackBoxWidth], m[kBlackBoxHeight], m[kBlackBoxLeft],
                      m[kBlackBoxTop],   m[kAdvanceX],       m[kAdvanceY]};
}

// The linear part of a glyph transform: x' = a*x + b*y + e, y' = c*x + d*y + f.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1;
};

// x' = a*x + b*y + e*x*y + g, y' = c*x + d*y + f*x*y + h, in glyph units.
struct Bilinear {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0, g = 0, h = 0;
};

// The glyph's cell box (the advance cell horizontally, the black box vertically) moved by the
// transform with translation (e, f), its corners then renumbered by the direction flags as the
// horizontal layout does (mirrored glyphs swap corners so that P1 stays the corner where the next
// one starts). The corners are formed in registers: built in an array first, they were written
// one double at a time and read back two at a time, and the reads waited on the writes.
inline CharacterBox PlaceBox(const GlyphMetrics& g, const Affine& m, double e, double f,
                             bool backward = false, bool upside_down = false) {
  const double bottom = g.oy - g.bby;
  CharacterBox out;
  const auto corner = [&](int i, double x, double y) {
    out.x[i] = m.a * x + m.b * y + e;
    out.y[i] = m.c * x + m.d * y + f;
  };
  corner(0, 0.0, bottom);
  corner(1, g.incx, bottom);
  corner(2, g.incx, g.oy);
  corner(3, 0.0, g.oy);
  const auto swap_corners = [&out](int i, int j) {
    std::swap(out.x[i], out.x[j]);
    std::swap(out.y[i], out.y[j]);
  };
  if (upside_down && !backward) {
    swap_corners(0, 3);
    swap_corners(1, 2);
  } else if (upside_down && backward) {
    swap_corners(0, 2);
    swap_corners(1, 3);
  } else if (backward) {
    swap_corners(0, 1);
    swap_corners(2, 3);
  }
  return out;
}

// Clones the character's outline and places it: with `bend`, the bilinear
// operation first (glyph units), then the affine one with translation (e, f).
// Elliptical arcs cannot take either operation in place: their image is built
// as a polyline and turned back into an arc when it is still a circle;
// `affine_arcs` (single-line layout, no bend) places them like every other
// entity instead. The caller owns the result.
std::vector<CQELEntity*> PlaceOutline(const CharBufferHolder* ch, const Affine& m, double e,
                                      double f, const Bilinear* bend, bool affine_arcs = false);

}  // namespace vuzodo::placement
