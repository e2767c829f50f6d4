// Windows backend of CreateFontForFace: GDI's own font object.
#include <algorithm>

#include "FontFace.h"
#include "gdi.h"

HFONT vuzodo::platform::CreateFontForFace(const LOGFONTW& logfont, std::u16string_view face) {
  LOGFONTW lf = logfont;
  // GDI knows a face only by lfFaceName: the face's first 31 code units, up to
  // an embedded terminator, are the face GDI matches.
  const std::size_t n = std::min<std::size_t>(face.size(), LF_FACESIZE - 1);
  std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), L'\0');
  std::copy_n(face.begin(), n, lf.lfFaceName);
  return CreateFontIndirectW(&lf);
}
