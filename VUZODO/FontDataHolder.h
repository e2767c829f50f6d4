// One loaded font, keyed by face (or file path) and style: its characters, its text metrics in
// the GDI layouts and, for TrueType fonts, the GDI font, the normalising scale and the kerning.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "CharBufferHolder.h"
#include "FontDC.h"
#include "ProcessSettings.h"
#include "gdi.h"

class OVFFontHandler;

namespace vuzodo {

class SHXFontHandler;

// Which reader builds a font; decided by the suffix of the face.
enum class FontKind { kTrueType, kShx, kOvf, kFnt };

// The kind of `face`, tested on an upper-cased copy in this order: last four units ".FNT"; the
// first ".SHX" starting four units before the end; the same for ".OVF"; otherwise TrueType
// (so "x.shx.bak" or "a.shx.b.shx" are TrueType faces).
FontKind KindOfFace(std::u16string_view face);

// Kerning pairs indexed by (first << 16 | second), sorted, holding for each pair the amount of
// the last pair listed for it; answers the "last match wins" scan without scanning.
using KernIndex = std::vector<std::pair<std::uint32_t, int>>;
KernIndex BuildKernIndex(std::span<const KERNINGPAIR> pairs);
// The indexed amount of (first, second), or 0.0.
double LookupKern(const KernIndex& index, std::uint16_t first, std::uint16_t second);

class FontDataHolder {
 public:
  // The height at which TrueType fonts are realized (GDI cell height, pixels).
  static constexpr LONG kTrueTypeHeight = 10000;

  // Builds the font with the reader of its kind. Never fails: a missing face or file gives the
  // platform's substitute (TrueType) or a font without characters (the other kinds). `settings`
  // (the unit size, the FNT conversion mode) is read whenever the font builds something, so it
  // must outlive the font; the line list passes its own.
  FontDataHolder(std::u16string_view face, std::int32_t style, const ProcessSettings& settings);
  // The same with the default settings (a font built outside a line list).
  FontDataHolder(std::u16string_view face, std::int32_t style);
  ~FontDataHolder();

  FontDataHolder(const FontDataHolder&) = delete;
  FontDataHolder& operator=(const FontDataHolder&) = delete;

  const std::u16string& GetFace() const { return face_; }
  std::int32_t GetStyle() const { return style_; }
  FontKind GetKind() const { return KindOfFace(face_); }
  HFONT GetFontHandle() const { return font_; }

  // The first character with `code` in build order, or null.
  CharBufferHolder* FindCharacter(std::uint32_t code) const;
  // Appends to the character list (readers and the registry); returns the stored record.
  CharBufferHolder* AppendCharacter(std::unique_ptr<CharBufferHolder> character);
  // The records built so far, in build order (SHX: as characters were asked for).
  const std::vector<std::unique_ptr<CharBufferHolder>>& GetCharacters() const {
    return characters_;
  }
  // The codes of the font's characters: the records built so far; for SHX fonts every shape that
  // builds first, in file order (a number as often as the file lists it), then the records made
  // for codes that no shape builds.
  std::vector<std::uint32_t> ListCharacterCodes() const;
  // SHX fonts: the record of the shape with this number, built now if it was not built yet, or
  // null when no shape of the font has the number or its shape is refused.
  CharBufferHolder* BuildShxCharacter(std::uint32_t code);
  // SHX and FNT fonts: the square of side U with code 0 given for undefined codes; else null.
  CharBufferHolder* GetFallbackCharacter() const { return fallback_.get(); }

  // OVF fonts: character `code` from the OVF reader, or null while no reader is attached (or the
  // file could not be read).
  std::unique_ptr<CharBufferHolder> BuildOvfCharacter(std::uint32_t code) const;
  double GetShapeScale() const { return shape_scale_; }

  // ---- TrueType side ----
  void CreateTrueTypeFont(LONG height);
  std::int32_t ComputeDesignHeight() const;
  void ReadMetricsAndKerning();
  // The scaled amount of the ordered pair (first, second), or 0.0; the last pair GDI listed for
  // it wins.
  double GetKernAmount(std::uint16_t first, std::uint16_t second) const;
  double GetFontScale() const { return font_scale_; }
  double GetUnitSize() const { return settings_->unit_size; }
  std::int32_t GetDesignHeight() const { return design_height_; }
  std::span<const KERNINGPAIR> GetKerningPairs() const { return kerning_pairs_; }
  const TEXTMETRICW& GetTextMetrics() const { return text_metrics_; }
  const OUTLINETEXTMETRICW& GetOutlineTextMetrics() const { return outline_metrics_; }

  // Runs one GDI query on a memory DC of its own with this font selected.
  template <typename Query>
  auto WithFontDC(Query&& query) const {
    return platform::WithFontDC(font_, std::forward<Query>(query));
  }

 private:
  void LoadTrueType();
  // Reader hooks: each fills the character list (and, OVF, the metrics) from the file named by
  // the face. Until a reader is attached the font stays without characters.
  void ReadShxFile();
  void ReadFntFile();
  void ReadOvfFile();
  // SHX and FNT: the characters scaled so that "A" is U high, the metrics synthesised with the
  // font box of the scaled outlines (min, max), the fallback square.
  void FinishShapeFont(const NURBSPoint& min, const NURBSPoint& max);
  void NormaliseShapes();
  void SynthesiseMetrics(const NURBSPoint& min, const NURBSPoint& max);
  // SHX: the factor that makes the reference character U high, or 1 when none can be derived.
  double ShxNormalisingFactor();
  // SHX: the unscaled record of the shape with this number, or null (missing or refused).
  std::unique_ptr<CharBufferHolder> BuildShxRecord(std::uint32_t code);

  std::vector<std::unique_ptr<CharBufferHolder>> characters_;  // build order
  // Code -> first record: the codes below 256, which most texts are made of, in a table (the hash
  // lookup took about 7% of an append's time); the rest in the map.
  std::array<CharBufferHolder*, 256> first_page_{};
  std::unordered_map<std::uint32_t, CharBufferHolder*> index_;
  std::unique_ptr<CharBufferHolder> fallback_;
  std::u16string face_;                     // exactly as passed
  std::int32_t style_ = 0;                  // EN_TTFFontStyle
  const ProcessSettings* settings_;         // the owner's, read at each build
  HFONT font_ = nullptr;                    // TrueType only
  TEXTMETRICW text_metrics_{};              // scaled by font_scale_ (TrueType) or synthesised
  OUTLINETEXTMETRICW outline_metrics_{};    // likewise; otmTextMetrics = text_metrics_
  double shape_scale_ = 1.0;                // OVF: U / the file's height field
  std::vector<KERNINGPAIR> kerning_pairs_;  // GDI order, iKernAmount scaled and truncated
  KernIndex kern_index_;                    // over kerning_pairs_
  std::int32_t design_height_ = 0;          // trunc(U * U / cap height of "A" at kTrueTypeHeight)
  float font_scale_ = 1.0f;                 // design_height_ / U: a whole multiple of 1/U
  std::unique_ptr<OVFFontHandler> ovf_;     // OVF only: the whole file, glyphs decoded on demand
  // SHX only: the whole file, shapes built on demand. Building is deterministic and each shape is
  // built alone, so a record built late is the one a build of the whole font at load would give.
  std::unique_ptr<SHXFontHandler> shx_;
  std::vector<std::uint32_t> shx_codes_;             // shapes that build, file order
  std::unordered_set<std::uint32_t> shx_buildable_;  // the codes in shx_codes_
  double shx_factor_ = 1.0;                          // the normalising scale of every record
};

}  // namespace vuzodo
