// The hand-over record of the file font readers (OVF and FNT): one character's outline, the box
// that its metrics are set from, and its advance, before the registry wraps it.
#ifndef VUZODO_READERGLYPH_H
#define VUZODO_READERGLYPH_H

#include <cstdint>
#include <vector>

#include "QELEntity.h"

// Box coordinates that mark "no geometry yet": a box starts at (+kEmptyBox, +kEmptyBox) for its
// minimum and (-kEmptyBox, -kEmptyBox) for its maximum and stays so for a character without
// geometry (the metric rule treats coordinates outside +-100000 as empty).
inline constexpr double kEmptyBox = 3.4e38;

// One character read from a file font, in font units (FNT: the file's unitless coordinates;
// OVF: font units, before the shape scale).
//
// The registry turns it into its character record in three steps:
//   auto* holder = new CharBufferHolder(glyph.code, glyph.ReleaseOutline());
//   holder->SetMetricsFromBox(glyph.box_min, glyph.box_max, glyph.advance);
//   (OVF only) holder->Scale(handler.ShapeScale(unit_size));
// Move-only: the outline entities are owned until ReleaseOutline hands them over.
struct ReaderGlyph {
  ReaderGlyph() = default;
  ReaderGlyph(const ReaderGlyph&) = delete;
  ReaderGlyph& operator=(const ReaderGlyph&) = delete;
  ReaderGlyph(ReaderGlyph&& other) noexcept;
  ReaderGlyph& operator=(ReaderGlyph&& other) noexcept;
  ~ReaderGlyph();

  // Hands the outline entities to the caller, who then owns them; the record keeps none.
  [[nodiscard]] std::vector<CQELEntity*> ReleaseOutline();

  std::int32_t code = 0;                       // character code (UTF-16 unit or shape number)
  std::vector<CQELEntity*> outline;            // owned; deleted with the record unless released
  NURBSPoint box_min{kEmptyBox, kEmptyBox};    // lowest x and y of the character's box
  NURBSPoint box_max{-kEmptyBox, -kEmptyBox};  // highest x and y of the character's box
  double advance = 0.0;                        // pen advance in x; the advance in y is 0
};

// The character that stands in for the missing character `code`: a square of side `side` (the
// unit size) as one closed polyline through (0, 0), (side, 0), (side, side), (0, side), box
// (0, 0) to (side, side) and advance `side`. Its metrics come out as width side, height side,
// left 0, top side, advance side. Used unscaled: it is already in output units. It carries the
// code it stands in for, so that the registry finds it again instead of building another.
ReaderGlyph MissingGlyphSquare(std::int32_t code, double side);

#endif  // VUZODO_READERGLYPH_H
