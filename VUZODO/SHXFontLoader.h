// Bounded reading of a compiled SHX file (shape file, unicode font or big font) into its font
// information and shape definitions. Every read checks the end of the data, so no count, length
// or offset taken from the file can lead outside it; a record that does not fit ends loading (or,
// in a big font's index, is passed over), keeping what was read before it.
#pragma once

#include <vector>

#include "SHXFont.h"

namespace vuzodo {

// Reads `bytes` into `font` (cleared first). Returns the base scale, output units per shape
// unit: 1 / above for shape files and unicode fonts, 1 for big fonts and for a file whose header
// names no SHX kind (which leaves the font with no shapes).
double LoadSHXFont(std::vector<unsigned char> bytes, SHXFont& font);

}  // namespace vuzodo
