#include "ReaderGlyph.h"

#include <utility>

ReaderGlyph::ReaderGlyph(ReaderGlyph&& other) noexcept
    : code(other.code),
      outline(std::exchange(other.outline, {})),
      box_min(other.box_min),
      box_max(other.box_max),
      advance(other.advance) {}

ReaderGlyph& ReaderGlyph::operator=(ReaderGlyph&& other) noexcept {
  if (this != &other) {
    for (CQELEntity* entity : outline) delete entity;
    code = other.code;
    outline = std::exchange(other.outline, {});
    box_min = other.box_min;
    box_max = other.box_max;
    advance = other.advance;
  }
  return *this;
}

ReaderGlyph::~ReaderGlyph() {
  for (CQELEntity* entity : outline) delete entity;
}

std::vector<CQELEntity*> ReaderGlyph::ReleaseOutline() {
  return std::exchange(outline, {});
}

ReaderGlyph MissingGlyphSquare(std::int32_t code, double side) {
  ReaderGlyph glyph;
  glyph.code = code;
  auto* square = new CQELPolyLine();  // closed as constructed
  square->AddPoint(0.0, 0.0);
  square->AddPoint(side, 0.0);
  square->AddPoint(side, side);
  square->AddPoint(0.0, side);
  glyph.outline.push_back(square);
  glyph.box_min = NURBSPoint(0.0, 0.0);
  glyph.box_max = NURBSPoint(side, side);
  glyph.advance = side;
  return glyph;
}
