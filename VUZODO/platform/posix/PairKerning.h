// Pair kerning read from a font's own tables, in font units, by glyph.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vuzodo::platform::posix {

struct GlyphKern {
  std::uint16_t left = 0;   // glyph index
  std::uint16_t right = 0;  // glyph index
  std::int32_t amount = 0;  // font units added to the left glyph's advance
};

// Pairs of the legacy 'kern' table (the version 0 layout, format 0 subtables
// of horizontal kerning), in table order. Empty for anything else.
std::vector<GlyphKern> ReadKernTable(std::span<const std::uint8_t> kern);

// What a shaper applying the "kern" feature of the GPOS table puts between two
// glyphs of `glyphs` (pair adjustment lookups, including extension lookups):
// for every kern lookup the first subtable that covers the pair, its first
// value's x advance, summed over the lookups. Script "latn", else "DFLT", else
// every kern feature. Zero amounts are left out; sorted by (left, right).
std::vector<GlyphKern> ReadGposKerning(std::span<const std::uint8_t> gpos,
                                       const std::vector<std::uint16_t>& glyphs);

}  // namespace vuzodo::platform::posix
