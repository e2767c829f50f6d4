// A point of a glyph's poly-draw sequence: a weighted point with its drawing kind.
#ifndef QELOBJECTLIBRARY_POLYDRAWPOINT_H
#define QELOBJECTLIBRARY_POLYDRAWPOINT_H

#include <cstdint>

#include "NURBSPoint.h"

class PolyDrawPoint : public NURBSPoint {
 public:
  // Point kinds.
  static constexpr std::int32_t kMoveTo = 0;       // start of a new contour
  static constexpr std::int32_t kLineTo = 1;       // straight segment to the point
  static constexpr std::int32_t kQuadControl = 2;  // off-curve control point of a quadratic run
  static constexpr std::int32_t kQuadEnd = 3;      // on-curve point closing a quadratic run
  // Cubic outlines (CFF fonts): each segment is two kCubicControl points and one kCubicEnd.
  static constexpr std::int32_t kCubicControl = 4;
  static constexpr std::int32_t kCubicEnd = 5;

  constexpr PolyDrawPoint() = default;
  constexpr PolyDrawPoint(double x, double y, double weight, std::int32_t kind)
      : NURBSPoint(x, y, weight), kind_(kind) {}

  constexpr std::int32_t GetKind() const { return kind_; }

 private:
  std::int32_t kind_ = kMoveTo;
};

#endif  // QELOBJECTLIBRARY_POLYDRAWPOINT_H
