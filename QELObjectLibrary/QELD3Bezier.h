// A rational cubic Bezier piece, the holder the quadratic pieces of a glyph are raised into.
#ifndef QELOBJECTLIBRARY_QELD3BEZIER_H
#define QELOBJECTLIBRARY_QELD3BEZIER_H

#include <array>

#include "NURBSPoint.h"
#include "QELEntityBase.h"

// Only rotation is supported; Scale and Transform leave it unchanged and Clone gives null.
class CQELD3Bezier : public CQELEntity {
 public:
  CQELD3Bezier() : CQELEntity(kD3Bezier) {}

  // P0, P1, P2, P3 in order, filled in place by callers; all start as (0, 0, weight 1).
  std::array<NURBSPoint, 4>& GetControlPoints() { return control_points_; }
  const std::array<NURBSPoint, 4>& GetControlPoints() const { return control_points_; }

  void Rotate(double angle) override;

 private:
  std::array<NURBSPoint, 4> control_points_{};
};

#endif  // QELOBJECTLIBRARY_QELD3BEZIER_H
