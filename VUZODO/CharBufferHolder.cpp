#include "CharBufferHolder.h"

#include <cstring>

#include "FontDC.h"
#include "QELUtility.h"

namespace vuzodo {

namespace {

// A coordinate outside this range counts as "no geometry" in a shape reader's box.
constexpr double kEmptyLimit = 100000.0;
bool IsEmptyCoordinate(double v) {
  return !(v >= -kEmptyLimit && v <= kEmptyLimit);
}

template <typename T>
T ReadAt(std::span<const std::uint8_t> buffer, std::size_t offset) {
  T value;
  std::memcpy(&value, buffer.data() + offset, sizeof(T));
  return value;
}

double FixedToDouble(FIXED f) {
  return static_cast<double>(f.value) + f.fract / 65536.0;
}

void AddPoint(CQELPolyDraw& polydraw, const POINTFX& p, std::int32_t kind) {
  polydraw.AddPoint(PolyDrawPoint(FixedToDouble(p.x), FixedToDouble(p.y), 1.0, kind));
}

}  // namespace

MAT2 GlyphMatrix() {
  const FIXED one{1, 1};   // 1 + 1/65536
  const FIXED zero{1, 0};  // 1/65536
  return MAT2{one, zero, zero, one};
}

void NativeBufferToPolyDraw(std::span<const std::uint8_t> buffer, CQELPolyDraw& polydraw) {
  const std::size_t size = buffer.size();
  std::size_t p = 0;
  while (p + sizeof(TTPOLYGONHEADER) <= size) {
    const auto header = ReadAt<TTPOLYGONHEADER>(buffer, p);
    // A contour shorter than its own header, or reaching past the buffer, is malformed: the walk
    // ends rather than looping or reading beyond the buffer.
    if (header.cb < sizeof(TTPOLYGONHEADER) || header.cb > size - p) return;
    AddPoint(polydraw, header.pfxStart, PolyDrawPoint::kMoveTo);
    const std::size_t end = p + header.cb;
    p += sizeof(TTPOLYGONHEADER);
    while (p + 4 <= end) {
      const auto type = ReadAt<WORD>(buffer, p);
      const auto count = ReadAt<WORD>(buffer, p + 2);
      p += 4;
      const std::size_t available = (end - p) / sizeof(POINTFX);
      const std::size_t n = count < available ? count : available;
      for (std::size_t k = 0; k < n; ++k, p += sizeof(POINTFX)) {
        const auto point = ReadAt<POINTFX>(buffer, p);
        std::int32_t kind = -1;  // other record types: points passed over
        if (type == TT_PRIM_LINE) {
          kind = PolyDrawPoint::kLineTo;
        } else if (type == TT_PRIM_QSPLINE) {
          kind = k + 1 == n ? PolyDrawPoint::kQuadEnd : PolyDrawPoint::kQuadControl;
        } else if (type == TT_PRIM_CSPLINE) {
          // Two controls and an end point per segment; a trailing incomplete segment is left as
          // controls, which the conversion passes over.
          kind = (k % 3 == 2) ? PolyDrawPoint::kCubicEnd : PolyDrawPoint::kCubicControl;
        }
        if (kind >= 0) AddPoint(polydraw, point, kind);
      }
      if (n < count) break;  // the record claims more points than the contour holds
    }
    p = end;
  }
}

CharBufferHolder::CharBufferHolder(std::uint32_t code, HFONT font) : code_(code) {
  const MAT2 matrix = GlyphMatrix();
  // GDI_ERROR leaves no metrics: the record keeps zero metrics and no outline.
  GLYPHMETRICS gm{};
  // Without a GDI font (an SHX code the shape file lacks) the DC's stock font must not answer:
  // GDI's stock font is a raster font that has no outlines, so the request fails there.
  const DWORD size = font == nullptr ? GDI_ERROR : platform::WithFontDC(font, [&](HDC dc) {
    return GetGlyphOutlineW(dc, code, GGO_NATIVE, &gm, 0, nullptr, &matrix);
  });
  raw_size_ = static_cast<std::int32_t>(size);
  if (size == GDI_ERROR) {
    gm = GLYPHMETRICS{};
  } else if (raw_size_ >= 1) {
    raw_buffer_ = std::make_unique<std::uint8_t[]>(size);
    const DWORD written = platform::WithFontDC(font, [&](HDC dc) {
      return GetGlyphOutlineW(dc, code, GGO_NATIVE, &gm, size, raw_buffer_.get(), &matrix);
    });
    if (written == GDI_ERROR) {
      raw_buffer_.reset();
      raw_size_ = -1;
      gm = GLYPHMETRICS{};
    }
  }
  metrics_ = {static_cast<double>(gm.gmBlackBoxX),       static_cast<double>(gm.gmBlackBoxY),
              static_cast<double>(gm.gmptGlyphOrigin.x), static_cast<double>(gm.gmptGlyphOrigin.y),
              static_cast<double>(gm.gmCellIncX),        static_cast<double>(gm.gmCellIncY)};
  if (raw_buffer_ == nullptr) return;

  CQELPolyDraw polydraw;
  NativeBufferToPolyDraw(GetRawBuffer(), polydraw);
  std::vector<CQELPolyLine*> contours = PolyDrawToPolyLines(&polydraw);
  outlines_.assign(contours.begin(), contours.end());
}

CharBufferHolder::CharBufferHolder(std::uint32_t code, std::vector<CQELEntity*> outlines)
    : code_(code), outlines_(std::move(outlines)) {}

CharBufferHolder::~CharBufferHolder() {
  for (CQELEntity* entity : outlines_) delete entity;
}

std::span<const std::uint8_t> CharBufferHolder::GetRawBuffer() const {
  if (raw_buffer_ == nullptr || raw_size_ < 1) return {};
  return {raw_buffer_.get(), static_cast<std::size_t>(raw_size_)};
}

void CharBufferHolder::SetMetrics(double width, double height, double left, double top,
                                  double advance_x, double advance_y) {
  metrics_ = {width, height, left, top, advance_x, advance_y};
}

void CharBufferHolder::SetMetricsFromBox(const NURBSPoint& min, const NURBSPoint& max,
                                         double advance) {
  const bool no_x = IsEmptyCoordinate(min.GetX()) || IsEmptyCoordinate(max.GetX());
  const bool no_y = IsEmptyCoordinate(min.GetY()) || IsEmptyCoordinate(max.GetY());
  metrics_[kBlackBoxWidth] = no_x ? advance : max.GetX() - min.GetX();
  metrics_[kBlackBoxHeight] = no_y ? 0.0 : max.GetY() - min.GetY();
  metrics_[kBlackBoxLeft] = IsEmptyCoordinate(min.GetX()) ? 0.0 : min.GetX();
  metrics_[kBlackBoxTop] = IsEmptyCoordinate(max.GetY()) ? 0.0 : max.GetY();
  metrics_[kAdvanceX] = advance;
  metrics_[kAdvanceY] = 0.0;
}

void CharBufferHolder::Scale(double factor) {
  for (CQELEntity* entity : outlines_) {
    if (entity != nullptr) entity->Scale(factor, factor);
  }
  for (double& m : metrics_) m *= factor;
}

}  // namespace vuzodo
