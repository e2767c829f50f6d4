// A font as a device context uses it: the face file chosen for a LOGFONTW,
// opened with FreeType at the pixel size the LOGFONTW asks for, and the GDI
// queries answered from it.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gdi.h"

// FreeType's types, without its headers in ours.
struct FT_LibraryRec_;
struct FT_FaceRec_;

namespace vuzodo::platform::posix {

class FreeTypeLibrary;

struct FaceRequest {
  std::u16string face;  // family name or font file path, as the caller gave it
  LONG height = 0;      // lfHeight: >0 cell height, <0 em height, 0 default
  LONG weight = 0;      // lfWeight
  bool italic = false;  // lfItalic != 0
};

class RealizedFont {
 public:
  // Opens the face that answers the request: the file when the face is a font
  // file path that FreeType accepts, else fontconfig's best scalable match for
  // the family (its substitute when the family is not installed; a broken or
  // missing file is substituted the same way). Null only when the system has
  // no usable scalable font at all.
  static std::shared_ptr<RealizedFont> Realize(const FaceRequest& request);

  ~RealizedFont();
  RealizedFont(const RealizedFont&) = delete;
  RealizedFont& operator=(const RealizedFont&) = delete;

  // GetGlyphOutlineW for GGO_METRICS and GGO_NATIVE (flags GGO_GLYPH_INDEX and
  // GGO_UNHINTED accepted; outlines are always unhinted).
  DWORD GlyphOutline(UINT code, UINT format, GLYPHMETRICS& metrics, DWORD size, void* buffer,
                     const MAT2& matrix);
  // Kerning pairs in pixels of this size, by UTF-16 code unit.
  const std::vector<KERNINGPAIR>& KerningPairs();
  TEXTMETRICW TextMetrics() const;
  // The whole answer of GetOutlineTextMetricsW: the structure followed by the
  // four names.
  std::vector<std::uint8_t> OutlineTextMetrics() const;

  // What was opened (for diagnostics and tests).
  const std::string& path() const { return path_; }
  int ppem() const { return ppem_; }

 private:
  RealizedFont() = default;
  bool Open(const std::string& path, int index, const FaceRequest& request);
  // Loads, simulates and transforms a glyph into last_; false when FreeType
  // cannot give it as an outline.
  bool Prepare(unsigned glyph, const MAT2& matrix);
  LONG Scale(long font_units) const;           // font units -> pixels, rounded as MulDiv
  int KernTableAmount(long font_units) const;  // a kern table value in pixels

  std::shared_ptr<FreeTypeLibrary> library_;
  FT_FaceRec_* face_ = nullptr;
  std::string path_;
  int ppem_ = 0;              // pixels per em (the em height of the realized font)
  bool fake_bold_ = false;    // bold asked for, face is not bold: emboldened
  bool fake_italic_ = false;  // italic asked for, face is not italic: sheared
  std::optional<std::vector<KERNINGPAIR>> kerning_;
  // The last glyph prepared, kept for the write that follows a size query.
  struct LastGlyph;
  std::unique_ptr<LastGlyph> last_;
};

}  // namespace vuzodo::platform::posix
