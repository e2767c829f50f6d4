// Placement steps shared by the column and path layouts: a glyph's metrics,
// its cell box moved onto the line, and its outline cloned and transformed
// (optionally bent first). Output units throughout, unless stated.
#pragma once

#include <vector>

#include "TTFState.h"

class CQELEntity;

namespace vuzodo {

class CharBufferHolder;

namespace placement {

// The six glyph metrics, font metric units (already normalised): black box
// width and height, glyph origin x and y (top left of the black box), cell
// increment x and y. All 0 for a missing character.
struct GlyphMetrics {
  double bbx = 0, bby = 0, ox = 0, oy = 0, incx = 0, incy = 0;
};

GlyphMetrics MetricsOf(const CharBufferHolder* ch);

// The linear part of a glyph transform: x' = a*x + b*y + e, y' = c*x + d*y + f.
struct Affine {
  double a = 1, b = 0, c = 0, d = 1;
};

// x' = a*x + b*y + e*x*y + g, y' = c*x + d*y + f*x*y + h, in glyph units.
struct Bilinear {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0, g = 0, h = 0;
};

// The cell box: the advance cell horizontally, the black box vertically.
CharacterBox CellBox(const GlyphMetrics& g);

// The box moved by the transform with translation (e, f), its corners then
// renumbered by the direction flags as the horizontal layout does (mirrored
// glyphs swap corners so that P1 stays the corner where the next one starts).
CharacterBox PlaceBox(const CharacterBox& box, const Affine& m, double e, double f, bool backward,
                      bool upside_down);

// Clones the character's outline and places it: with `bend`, the bilinear
// operation first (glyph units), then the affine one with translation (e, f).
// Elliptical arcs cannot take either operation in place: their image is built
// as a polyline and turned back into an arc when it is still a circle;
// `affine_arcs` (single-line layout, no bend) places them like every other
// entity instead. The caller owns the result.
std::vector<CQELEntity*> PlaceOutline(const CharBufferHolder* ch, const Affine& m, double e,
                                      double f, const Bilinear* bend, bool affine_arcs = false);

}  // namespace placement
}  // namespace vuzodo
