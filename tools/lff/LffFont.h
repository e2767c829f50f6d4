// Single-line fonts in the LibreCAD text format (.lff), read and turned into shape source.
//
//     # LetterSpacing:     3          header comments; these two set the advances
//     # WordSpacing:       6.75
//     [0041] A                        a glyph: its code in hexadecimal, then the character
//     0,0;3,9;6,0                     one polyline a line: vertices "x,y" separated by ";"
//     1,3;5,3
//     [00B0] °
//     1.7,9;1.7,5.44,A1;1.7,9,A1      "A" field: the bulge of the segment ending at that vertex,
//                                     tan(sweep / 4), positive counter-clockwise
//     [00C1] Á
//     C0041                           the strokes of glyph 0041, then its own
//     3.4,9.85;5.1,10.7
//
// Units are the font's own, y up, the baseline at y = 0. A code defined a second time and stroke
// lines after a glyph's closing blank line are passed over, as fonts in the wild hold both.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vuzodo_tools {

struct LffVertex {
  double x = 0, y = 0;
  double bulge = 0;  // of the segment from the previous vertex to this one
};

using LffPolyline = std::vector<LffVertex>;

struct LffFont {
  double letter_spacing = 3.0;  // font units added after each glyph's rightmost point
  double word_spacing = 6.75;   // font units: the advance of the space
  // Code point -> strokes, references to other glyphs already copied in.
  std::map<char32_t, std::vector<LffPolyline>> glyphs;
};

struct LffResult {
  bool ok = false;
  LffFont font;
  int line = 0;         // 1-based line of the error; 0 when none applies
  std::string message;  // the error, without the line
  int skipped = 0;      // repeated glyphs and stroke lines outside any glyph, passed over
};

LffResult ReadLff(std::string_view text);

struct LffShapes {
  std::string source;  // shape source for the shape compiler: a unicode font
  int characters = 0;  // glyphs written
  int beyond_bmp = 0;  // glyphs past U+FFFF, which a shape number cannot hold, left out
};

// The font as a unicode shape font: the top of "A" (else 9 font units, the format's usual
// capital height) becomes the font's height, so that text of height 1 has an "A" one unit
// tall, as with every other font. Arcs stay arcs (bulge arcs, split where one would pass the
// byte range of a shape command).
LffShapes LffToShapeSource(const LffFont& font, const std::string& name);

}  // namespace vuzodo_tools
