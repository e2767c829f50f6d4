// Creating a GDI font for a face that may not fit into LOGFONTW::lfFaceName.
#pragma once

#include <string_view>

#include "gdi.h"

namespace vuzodo::platform {

// Creates the font described by `logfont`, with `face` (UTF-16, any length, not
// necessarily terminated) as its face instead of lfFaceName. lfFaceName holds
// only 31 code units, too few for most font file paths; the platform keeps the
// whole face on the font object instead. A face that fits behaves exactly like
// CreateFontIndirectW with the face copied into lfFaceName.
HFONT CreateFontForFace(const LOGFONTW& logfont, std::u16string_view face);

}  // namespace vuzodo::platform
