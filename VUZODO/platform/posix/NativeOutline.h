// Writing a FreeType outline in GDI's native glyph outline format.
#pragma once

#include <cstddef>
#include <cstdint>

struct FT_Outline_;

namespace vuzodo::platform::posix {

// Writes `outline` (26.6 pixels, y up) as TTPOLYGONHEADER / TTPOLYCURVE
// records into `out`, or only measures when `out` is null; returns the bytes.
// Measuring and writing are the same walk, so the two always agree.
std::size_t WriteNativeOutline(const FT_Outline_& outline, std::uint8_t* out);

}  // namespace vuzodo::platform::posix
