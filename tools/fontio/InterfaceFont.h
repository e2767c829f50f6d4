// Reads any font the engine reads, through its C interface only, as a host would: one
// character at a time laid out at the origin and fetched as drawing records, plus the metrics
// the interface reports.
#pragma once

#include <string>
#include <vector>

#include "OvfWriter.h"
#include "RecordGlyph.h"

namespace vuzodo_fontio {

struct ReadOptions {
  std::u16string face;     // face name of an installed font, or a font file path
  int style = 0;           // 0 regular, 1 bold, 2 italic, 3 bold italic
  float unit = 1000.0f;    // unit size: the font's "A" is about this many record units high
  int fnt_mode = 1;        // how FNT arc lines are read: 1 arcs, 2 points, other values drop them
  std::vector<int> codes;  // characters to read; empty: the font's own list, else Latin-1
};

// Line metrics and script placement as the layout applies them, record units.
struct InterfaceMetrics {
  double box_top = 0;   // top of the font's box (GetFontInformation); 0 when not positive
  double ascent = 0;    // maximum ascent of a line in the font
  double descent = 0;   // maximum descent (negative)
  double line_gap = 0;  // maximum line gap
  double subscript_scale = 1, subscript_shift = 0;      // shift: downwards, positive
  double superscript_scale = 1, superscript_shift = 0;  // shift: upwards, positive
};

struct InterfaceFont {
  std::vector<RecordGlyph> glyphs;  // in the order asked for
  InterfaceMetrics metrics;
  float unit = 1000.0f;
};

// The default character list for fonts that build characters on demand (TrueType, OVF):
// printable ASCII and the printable Latin-1 supplement.
std::vector<int> DefaultCodes();

// Parses "32-126,0xA0-0xFF,U+20AC,65": decimal, 0x hexadecimal or U+ hexadecimal codes and
// inclusive ranges, comma separated. Codes must lie in 1 ... 0xFFFF. Returns false (and sets
// `error`) on anything else.
bool ParseCodeRanges(const std::string& text, std::vector<int>& codes, std::string& error);

// Characters that the layout takes as controls (tab, line feed) are never read; a code the
// font lacks (drawn exactly as U+FFFF, which no font maps) is left out unless the font lists
// it among its own characters.
InterfaceFont ReadThroughInterface(const ReadOptions& options);

// The OVF font for what was read, one glyph per character. Its height field h0 is the source's
// font box top divided by the unit (1 without one): readers take h0 both as the font box top,
// against which the layout places scripts, and as the divisor of the shape scale U / h0, so
// the glyph coordinates are the records times h0 / unit and "A" comes back U high. The metric
// reals are the source's metrics divided by the unit.
OvfFont MakeOvfFont(const InterfaceFont& font, const std::u16string& name,
                    const std::u16string& style_name);

}  // namespace vuzodo_fontio
