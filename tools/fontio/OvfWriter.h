// Writes OVF outline fonts: binary, little-endian, 4-byte integers and IEEE single-precision
// reals, UTF-16 names.
//
// File layout written: header (two words, two names, twelve reals), glyph table (entries with
// their placement records), drawing data (in table order), the glyph count word, and the
// 8-byte trailer (X, word). X is the offset of the trailer, so the count word sits at X - 4.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "RecordGlyph.h"

namespace vuzodo_fontio {

// Drawing commands of one placement record, encoded as they are appended.
class OvfDrawing {
 public:
  void Advance(float advance);                                    // command 0
  void Polyline(const std::vector<std::array<float, 2>>& points,  // command 2
                bool closed);
  void CircularArc(float cx, float cy, float radius, float start, float sweep);  // command 3
  void Dot(float x, float y);                                                    // command 6
  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  void Word(std::int32_t value);
  void Real(float value);
  std::vector<std::uint8_t> bytes_;
};

struct OvfPlacement {
  std::array<float, 6> matrix{1, 0, 0, 1, 0, 0};  // a, b, c, d, e, f: x' = ax + by + e
  std::vector<std::uint8_t> data;                 // drawing commands
};

struct OvfGlyph {
  std::int32_t code = 0;
  // Horizontal extents in font units: left bearing, ink width, right bearing (their sum is the
  // glyph box width, which readers take as the box from x = 0).
  float e0 = 0, e1 = 0, e2 = 0;
  float bottom = 0, top = 0;  // the box's lowest and highest y, font units
  std::vector<OvfPlacement> placements;
};

struct OvfFont {
  std::int32_t word0 = 0, word1 = 0;  // header words, no meaning given to them
  std::u16string name, second_name;   // written with terminator, padded to 4 bytes
  // h0 height (the shape scale is U / h0), h1 width, h2 ascent, h3 descent (negative),
  // h4 line gap, h5 strikeout, h6 h7 subscript offset, h8 subscript size, h9 h10 superscript
  // offset, h11 superscript size. Metric reals are read back multiplied by U.
  std::array<float, 12> header{};
  std::int32_t trailer_word = 0;
  std::vector<OvfGlyph> glyphs;
};

std::vector<std::uint8_t> WriteOvf(const OvfFont& font);

// One character's records as a glyph drawn by one placement record with the identity matrix:
// runs of draws become polylines (closed when they end where they began), arcs become
// circular arc commands, dots become dots. Coordinates are divided by `unit`, so a font read
// at unit size `unit` is written with height 1.
OvfGlyph OvfGlyphFromRecords(const RecordGlyph& glyph, double unit);

}  // namespace vuzodo_fontio
