// Writes FNT stroke fonts: one "def CODE" line per character, then its pen commands, each
// relative to the pen: "m dx,dy" (move), "d dx,dy" (draw), "point dx,dy" (move and mark a
// dot), "a ex,ey,cx,cy" (arc to the end offset about the centre offset). The pen starts at the
// character's origin; where it ends is the character's advance.
#pragma once

#include <string>
#include <vector>

#include "RecordGlyph.h"

namespace vuzodo_fontio {

// The lines of one character, each ended by a line feed. Records map one to one (the integer
// offsets are written as they are); a final move brings the pen to (advance, 0), fraction
// included, when the records end elsewhere. A move of (0, 0) is never written: readers take
// it as no move.
std::string FntGlyphFromRecords(const RecordGlyph& glyph);

// The whole font: the characters in order, an empty line between them.
std::string WriteFnt(const std::vector<RecordGlyph>& glyphs);

}  // namespace vuzodo_fontio
