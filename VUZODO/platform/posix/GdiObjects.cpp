// The GDI entry points: a table of font and device-context handles over
// RealizedFont. Handles are numbers, never pointers, so a stale or foreign
// handle is refused (NULL, FALSE, 0 or GDI_ERROR as GDI answers) instead of
// being followed.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "FontFace.h"
#include "RealizedFont.h"
#include "gdi.h"

namespace vuzodo::platform::posix {
namespace {

struct FontObject {
  LOGFONTW logfont{};
  std::u16string face;  // the whole face; lfFaceName may hold only its start
  bool stock = false;   // the DC's initial font: never deleted
  bool realized = false;
  std::shared_ptr<RealizedFont> font;  // null when nothing could be opened

  RealizedFont* Realized() {
    if (!realized) {
      realized = true;
      font =
          RealizedFont::Realize({face, logfont.lfHeight, logfont.lfWeight, logfont.lfItalic != 0});
    }
    return font.get();
  }
};

struct DcObject {
  std::uintptr_t font_handle = 0;
  // Shared with the handle table: a font deleted while selected stays alive
  // until the DC lets go of it.
  std::shared_ptr<FontObject> font;
};

class HandleTable {
 public:
  std::mutex mutex;

  std::uintptr_t AddFont(std::shared_ptr<FontObject> font) {
    const std::uintptr_t h = NextHandle();
    fonts_.emplace(h, std::move(font));
    return h;
  }
  std::uintptr_t AddDc() {
    const std::uintptr_t h = NextHandle();
    auto dc = std::make_unique<DcObject>();
    dc->font_handle = StockFont();
    dc->font = fonts_.at(dc->font_handle);
    dcs_.emplace(h, std::move(dc));
    return h;
  }
  std::shared_ptr<FontObject> Font(std::uintptr_t h) const {
    auto it = fonts_.find(h);
    return it == fonts_.end() ? nullptr : it->second;
  }
  DcObject* Dc(std::uintptr_t h) const {
    auto it = dcs_.find(h);
    return it == dcs_.end() ? nullptr : it->second.get();
  }
  bool EraseFont(std::uintptr_t h) {
    auto it = fonts_.find(h);
    if (it == fonts_.end()) return false;
    if (!it->second->stock) fonts_.erase(it);
    return true;
  }
  bool EraseDc(std::uintptr_t h) { return dcs_.erase(h) != 0; }

 private:
  // Handle values are multiples of 4 from a counter: never null, never reused
  // within a run.
  std::uintptr_t NextHandle() { return next_ += 4; }
  std::uintptr_t StockFont() {
    if (!stock_) {
      auto font = std::make_shared<FontObject>();
      font->stock = true;  // lfHeight 0 and no face: the default face at GDI's default size
      stock_ = AddFont(std::move(font));
    }
    return stock_;
  }

  std::uintptr_t next_ = 0x1000;
  std::uintptr_t stock_ = 0;
  std::unordered_map<std::uintptr_t, std::shared_ptr<FontObject>> fonts_;
  std::unordered_map<std::uintptr_t, std::unique_ptr<DcObject>> dcs_;
};

HandleTable& Table() {
  static HandleTable table;
  return table;
}

std::uintptr_t Value(const void* handle) {
  return reinterpret_cast<std::uintptr_t>(handle);
}

std::u16string FaceOf(const LOGFONTW& lf) {
  // At most LF_FACESIZE - 1 units, as GDI reads them, terminated or not.
  size_t n = 0;
  while (n < LF_FACESIZE - 1 && lf.lfFaceName[n] != 0) ++n;
  return std::u16string(lf.lfFaceName, n);
}

HFONT NewFont(const LOGFONTW& lf, std::u16string face) {
  auto font = std::make_shared<FontObject>();
  font->logfont = lf;
  font->face = std::move(face);
  HandleTable& t = Table();
  std::lock_guard lock(t.mutex);
  return reinterpret_cast<HFONT>(t.AddFont(std::move(font)));
}

// The realized font selected into a DC, or null.
RealizedFont* SelectedFont(HandleTable& t, HDC hdc) {
  DcObject* dc = t.Dc(Value(hdc));
  return dc ? dc->font->Realized() : nullptr;
}

}  // namespace
}  // namespace vuzodo::platform::posix

using vuzodo::platform::posix::HandleTable;
using vuzodo::platform::posix::RealizedFont;

HFONT vuzodo::platform::CreateFontForFace(const LOGFONTW& logfont, std::u16string_view face) {
  LOGFONTW lf = logfont;
  const size_t n = std::min<size_t>(face.size(), LF_FACESIZE - 1);
  std::fill(std::begin(lf.lfFaceName), std::end(lf.lfFaceName), u'\0');
  std::copy_n(face.begin(), n, lf.lfFaceName);
  // A face cut short at an embedded terminator is the face GDI would see.
  const size_t end = face.find(u'\0');
  return posix::NewFont(lf, std::u16string(face.substr(0, end)));
}

extern "C" {

HFONT CreateFontIndirectW(const LOGFONTW* lplf) {
  if (!lplf) return nullptr;
  return vuzodo::platform::posix::NewFont(*lplf, vuzodo::platform::posix::FaceOf(*lplf));
}

HDC CreateCompatibleDC(HDC hdc) {
  HandleTable& t = vuzodo::platform::posix::Table();
  std::lock_guard lock(t.mutex);
  if (hdc && !t.Dc(reinterpret_cast<std::uintptr_t>(hdc))) return nullptr;
  return reinterpret_cast<HDC>(t.AddDc());
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ h) {
  HandleTable& t = vuzodo::platform::posix::Table();
  std::lock_guard lock(t.mutex);
  auto* dc = t.Dc(reinterpret_cast<std::uintptr_t>(hdc));
  auto font = t.Font(reinterpret_cast<std::uintptr_t>(h));
  if (!dc || !font) return nullptr;
  const std::uintptr_t previous = dc->font_handle;
  dc->font_handle = reinterpret_cast<std::uintptr_t>(h);
  dc->font = std::move(font);
  return reinterpret_cast<HGDIOBJ>(previous);
}

DWORD GetGlyphOutlineW(HDC hdc, UINT uChar, UINT fuFormat, LPGLYPHMETRICS lpgm, DWORD cjBuffer,
                       LPVOID pvBuffer, const MAT2* lpmat2) {
  if (!lpgm || !lpmat2) return GDI_ERROR;
  HandleTable& t = vuzodo::platform::posix::Table();
  std::lock_guard lock(t.mutex);
  RealizedFont* font = vuzodo::platform::posix::SelectedFont(t, hdc);
  if (!font) return GDI_ERROR;
  return font->GlyphOutline(uChar, fuFormat, *lpgm, cjBuffer, pvBuffer, *lpmat2);
}

DWORD GetKerningPairsW(HDC hdc, DWORD nPairs, LPKERNINGPAIR lpKernPair) {
  HandleTable& t = vuzodo::platform::posix::Table();
  std::lock_guard lock(t.mutex);
  RealizedFont* font = vuzodo::platform::posix::SelectedFont(t, hdc);
  if (!font) return 0;
  const auto& pairs = font->KerningPairs();
  if (!lpKernPair) return static_cast<DWORD>(pairs.size());
  const DWORD n = std::min<DWORD>(nPairs, static_cast<DWORD>(pairs.size()));
  std::copy_n(pairs.begin(), n, lpKernPair);
  return n;
}

BOOL GetTextMetricsW(HDC hdc, LPTEXTMETRICW lptm) {
  if (!lptm) return FALSE;
  HandleTable& t = vuzodo::platform::posix::Table();
  std::lock_guard lock(t.mutex);
  RealizedFont* font = vuzodo::platform::posix::SelectedFont(t, hdc);
  if (!font) return FALSE;
  *lptm = font->TextMetrics();
  return TRUE;
}

UINT GetOutlineTextMetricsW(HDC hdc, UINT cjCopy, LPOUTLINETEXTMETRICW potm) {
  HandleTable& t = vuzodo::platform::posix::Table();
  std::lock_guard lock(t.mutex);
  RealizedFont* font = vuzodo::platform::posix::SelectedFont(t, hdc);
  if (!font) return 0;
  const std::vector<std::uint8_t> bytes = font->OutlineTextMetrics();
  if (!potm) return static_cast<UINT>(bytes.size());
  // A buffer shorter than the whole answer receives its beginning (callers
  // commonly pass the size of the structure alone, without the names).
  const size_t n = std::min<size_t>(cjCopy, bytes.size());
  std::memcpy(potm, bytes.data(), n);
  return static_cast<UINT>(n);
}

BOOL DeleteObject(HGDIOBJ ho) {
  HandleTable& t = vuzodo::platform::posix::Table();
  std::lock_guard lock(t.mutex);
  return t.EraseFont(reinterpret_cast<std::uintptr_t>(ho)) ? TRUE : FALSE;
}

BOOL DeleteDC(HDC hdc) {
  HandleTable& t = vuzodo::platform::posix::Table();
  std::lock_guard lock(t.mutex);
  return t.EraseDc(reinterpret_cast<std::uintptr_t>(hdc)) ? TRUE : FALSE;
}

// Memory DCs are not window DCs: ReleaseDC leaves them alone and reports
// that nothing was released; DeleteDC frees them.
int ReleaseDC(HWND, HDC) {
  return 0;
}

}  // extern "C"
