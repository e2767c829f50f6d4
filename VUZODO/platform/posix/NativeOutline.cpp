#include "NativeOutline.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstring>

#include "gdi.h"

namespace vuzodo::platform::posix {
namespace {

// 26.6 to 16.16: the integer part is floor(v / 64) kept to 16 bits (the FIXED
// range; larger coordinates wrap as they do in GDI), the fraction exact.
POINTFX ToPointFx(const FT_Vector& v) {
  POINTFX p;
  p.x.value = static_cast<SHORT>(v.x >> 6);
  p.x.fract = static_cast<WORD>((v.x & 63) << 10);
  p.y.value = static_cast<SHORT>(v.y >> 6);
  p.y.fract = static_cast<WORD>((v.y & 63) << 10);
  return p;
}

// Appends records at `size_`; writes only when `out_` is set.
class RecordWriter {
 public:
  explicit RecordWriter(std::uint8_t* out) : out_(out) {}
  std::size_t size() const { return size_; }

  void BeginContour(const FT_Vector& start) {
    contour_ = size_;
    if (out_) {
      TTPOLYGONHEADER header{0, TT_POLYGON_TYPE, ToPointFx(start)};
      std::memcpy(out_ + size_, &header, sizeof(header));
    }
    size_ += sizeof(TTPOLYGONHEADER);
  }
  void EndContour() {
    if (out_) {
      const DWORD cb = static_cast<DWORD>(size_ - contour_);
      std::memcpy(out_ + contour_, &cb, sizeof(cb));
    }
  }
  void BeginCurve(WORD type) {
    curve_ = size_;
    count_ = 0;
    if (out_) std::memcpy(out_ + size_, &type, sizeof(type));
    size_ += 2 * sizeof(WORD);
  }
  void Point(const FT_Vector& v) {
    if (out_) {
      const POINTFX p = ToPointFx(v);
      std::memcpy(out_ + size_, &p, sizeof(p));
    }
    size_ += sizeof(POINTFX);
    ++count_;
  }
  void EndCurve() {
    if (out_) std::memcpy(out_ + curve_ + sizeof(WORD), &count_, sizeof(count_));
  }

 private:
  std::uint8_t* out_;
  std::size_t size_ = 0;
  std::size_t contour_ = 0;
  std::size_t curve_ = 0;
  WORD count_ = 0;
};

int TagOf(const FT_Outline& o, int i) {
  return FT_CURVE_TAG(o.tags[i]);
}

}  // namespace

std::size_t WriteNativeOutline(const FT_Outline_& outline, std::uint8_t* out) {
  RecordWriter w(out);
  int first = 0;
  for (int c = 0; c < outline.n_contours; ++c) {
    const int last = outline.contours[c];
    if (last < first || last >= outline.n_points) break;  // malformed: stop here
    const int n = last - first + 1;
    const int begin = first;
    first = last + 1;
    // A contour of a single point draws nothing and is left out.
    if (n < 2) continue;

    // The record sequence starts at an on-curve point. The font's first point
    // usually is one; when it is a control point instead:
    //  - quadratic: start at the contour's last point if that is on-curve,
    //    else at the implied on-curve midpoint of the last and first points
    //    (odd case: that point is not in the font);
    //  - cubic: start at the first on-curve point (a contour without any is
    //    left out).
    // `order` visits the remaining points once, in contour order.
    FT_Vector start;
    int skip = 0;       // index into the contour of the first point after start
    int remaining = 0;  // points after start, up to the end of the contour
    const int t0 = TagOf(outline, begin);
    if (t0 == FT_CURVE_TAG_ON) {
      start = outline.points[begin];
      skip = 1;
      remaining = n - 1;
    } else if (t0 == FT_CURVE_TAG_CONIC) {
      const FT_Vector& p_last = outline.points[last];
      const FT_Vector& p_first = outline.points[begin];
      if (TagOf(outline, last) == FT_CURVE_TAG_ON) {
        start = p_last;
        skip = 0;
        remaining = n - 1;
      } else {
        start = {(p_last.x + p_first.x) / 2, (p_last.y + p_first.y) / 2};
        skip = 0;
        remaining = n;
      }
    } else {
      int k = 0;
      while (k < n && TagOf(outline, begin + k) != FT_CURVE_TAG_ON) ++k;
      if (k == n) continue;
      start = outline.points[begin + k];
      skip = k + 1;
      remaining = n - 1;
    }
    auto at = [&](int j) { return begin + (skip + j) % n; };

    w.BeginContour(start);
    int j = 0;
    while (j < remaining) {
      const int tag = TagOf(outline, at(j));
      if (tag == FT_CURVE_TAG_ON) {
        // Consecutive on-curve points: one line record. The closing segment
        // back to the start is implied, never written.
        w.BeginCurve(TT_PRIM_LINE);
        while (j < remaining && TagOf(outline, at(j)) == FT_CURVE_TAG_ON)
          w.Point(outline.points[at(j++)]);
        w.EndCurve();
      } else if (tag == FT_CURVE_TAG_CONIC) {
        // Consecutive control points and the on-curve point that ends them:
        // one quadratic record. The on-curve midpoints between controls are
        // implied, not written. A run that reaches the end of the contour is
        // closed with the start point, written explicitly.
        w.BeginCurve(TT_PRIM_QSPLINE);
        while (j < remaining && TagOf(outline, at(j)) == FT_CURVE_TAG_CONIC)
          w.Point(outline.points[at(j++)]);
        w.Point(j < remaining ? outline.points[at(j++)] : start);
        w.EndCurve();
      } else {
        // Cubic segments (CFF outlines): two controls and an end point each,
        // consecutive segments in one record of 3n points, the last one
        // closing at the start point when the contour ends there.
        w.BeginCurve(TT_PRIM_CSPLINE);
        while (j < remaining && TagOf(outline, at(j)) == FT_CURVE_TAG_CUBIC) {
          const FT_Vector& c1 = outline.points[at(j++)];
          // A lone control (not produced by FreeType's loaders) doubles up.
          const FT_Vector& c2 = (j < remaining && TagOf(outline, at(j)) == FT_CURVE_TAG_CUBIC)
                                    ? outline.points[at(j++)]
                                    : c1;
          w.Point(c1);
          w.Point(c2);
          w.Point(j < remaining ? outline.points[at(j++)] : start);
        }
        w.EndCurve();
      }
    }
    w.EndContour();
  }
  return w.size();
}

}  // namespace vuzodo::platform::posix
