// What a font file's own header says about its units, read from the file itself for
// `vuzodo info`: the engine's records are normalised and no longer show them.
#pragma once

#include <optional>
#include <string>

namespace vuzodo_cli {

// The font information an SHX file carries in its header: the height of its capitals above the
// baseline and the depth of its descenders below it, in shape units, and which kind it is.
struct ShxHeights {
  std::string kind;  // "shapes", "unifont", "bigfont", "extended bigfont"; "" when unreadable
  int above = 0;
  int below = 0;
};

ShxHeights ReadShxHeights(const std::string& path);

// The em square and the typographic ascent and descent of a TrueType or OpenType file, with
// the height of its "A", all in font units; false when FreeType cannot read it.
struct SfntMetrics {
  int units_per_em = 0;
  int ascender = 0, descender = 0;
  long cap_height = 0;  // top of "A"
};

bool ReadSfntMetrics(const std::string& path, SfntMetrics& m);

// The height, ascent and descent reals of an OVF file's header, in font units; the engine
// scales the font so that `height` is one user unit at text height 1.
struct OvfHeights {
  float height = 0, ascent = 0, descent = 0;
  long glyphs = -1;  // the count word the trailer points to; -1 when it points outside the file
};

// Nothing when the file is too short for its header or the height is not a positive number.
std::optional<OvfHeights> ReadOvfHeights(const std::string& path);

// The top of the character an FNT font is normalised by ("A", else the first character that
// reaches above its baseline) in the file's own units, and that character's code.
struct FntHeight {
  int code = 0;
  double top = 0;
};

// Nothing when no character reaches above the baseline, or when that character holds arcs,
// whose extent depends on the arc conversion mode.
std::optional<FntHeight> ReadFntHeight(const std::string& path);

}  // namespace vuzodo_cli
