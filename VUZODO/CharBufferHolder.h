// One character of one font: its code, six metric doubles and its outline. Every font kind
// (TrueType, SHX, OVF, FNT) hands a character to the layout in this record.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "QELEntity.h"
#include "gdi.h"

namespace vuzodo {

// The six metrics, always in this order. Font units after the font's normalisation (the "A" of
// every font is about U high); y-up, relative to the character origin on the baseline.
enum MetricIndex : int {
  kBlackBoxWidth = 0,
  kBlackBoxHeight = 1,
  kBlackBoxLeft = 2,
  kBlackBoxTop = 3,
  kAdvanceX = 4,
  kAdvanceY = 5,
};
using CharMetrics = std::array<double, 6>;

class CharBufferHolder {
 public:
  // Builds character `code` of the TrueType font `font` (also the path of SHX codes that the
  // shape file does not define: no GDI font, so no outline). Not yet scaled; the registry scales
  // it.
  CharBufferHolder(std::uint32_t code, HFONT font);
  // Takes a ready outline list (SHX and FNT loaders); the record owns the entities from now on.
  // Metrics are zero until SetMetrics or SetMetricsFromBox.
  CharBufferHolder(std::uint32_t code, std::vector<CQELEntity*> outlines);
  ~CharBufferHolder();

  CharBufferHolder(const CharBufferHolder&) = delete;
  CharBufferHolder& operator=(const CharBufferHolder&) = delete;

  void SetMetrics(double width, double height, double left, double top, double advance_x,
                  double advance_y);
  // The bounding-box rule of the shape readers: `min`/`max` is the box of the outline (left at
  // +/-3.4e38 when the character has no geometry), `advance` the horizontal advance.
  void SetMetricsFromBox(const NURBSPoint& min, const NURBSPoint& max, double advance);
  const CharMetrics& GetMetrics() const { return metrics_; }
  std::uint32_t GetCode() const { return code_; }
  // The record's own list (not a copy): callers read or clone the entities, never free them.
  std::vector<CQELEntity*>& GetOutlines() { return outlines_; }
  const std::vector<CQELEntity*>& GetOutlines() const { return outlines_; }
  // Multiplies every outline entity (x and y alike) and all six metrics by `factor`.
  void Scale(double factor);

  // The native outline as GDI returned it (empty when there was none) and the size GDI reported
  // (GDI_ERROR reads as -1; below 1 means no buffer).
  std::span<const std::uint8_t> GetRawBuffer() const;
  std::int32_t GetRawSize() const { return raw_size_; }

 private:
  std::unique_ptr<std::uint8_t[]> raw_buffer_;  // native outline records (TTPOLYGONHEADER ...)
  std::int32_t raw_size_ = 0;                   // bytes; < 1: no buffer
  CharMetrics metrics_{};                       // see MetricIndex
  std::uint32_t code_ = 0;  // UTF-16 code unit (TrueType) or shape number (SHX, OVF, FNT)
  std::vector<CQELEntity*> outlines_;  // owned; closed CQELPolyLine per contour for TrueType
};

// Walks a native GGO_NATIVE buffer into a poly-draw sequence: contour starts, line points,
// quadratic runs (last point marked as run end) and cubic segments. Reads never go past
// `buffer`; a malformed record ends the walk. Coordinates are 16.16 FIXED converted to double.
void NativeBufferToPolyDraw(std::span<const std::uint8_t> buffer, CQELPolyDraw& polydraw);

// The near-identity matrix every glyph outline request passes: 1 + 1/65536 on the diagonal,
// 1/65536 off it (both FIXED values carry a fraction word of 1).
MAT2 GlyphMatrix();

}  // namespace vuzodo
