// One GDI query with a font selected into a memory DC of its own.
#pragma once

#include "gdi.h"

namespace vuzodo::platform {

// Runs `query(dc)` with `font` selected into a fresh memory DC, and releases the DC afterwards,
// also when the query throws. GDI needs a DC for every font query; a DC of its own per query
// keeps fonts of different callers from seeing each other's selection.
template <typename Query>
auto WithFontDC(HFONT font, Query&& query) {
  struct Scope {
    HDC dc;
    HGDIOBJ previous;
    ~Scope() {
      SelectObject(dc, previous);
      ReleaseDC(nullptr, dc);
      DeleteDC(dc);
    }
  };
  HDC dc = CreateCompatibleDC(nullptr);
  Scope scope{dc, SelectObject(dc, font)};
  return query(dc);
}

}  // namespace vuzodo::platform
