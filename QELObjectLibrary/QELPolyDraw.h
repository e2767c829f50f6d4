// A glyph contour sequence as it comes from the font: points tagged move, line or quadratic.
#ifndef QELOBJECTLIBRARY_QELPOLYDRAW_H
#define QELOBJECTLIBRARY_QELPOLYDRAW_H

#include <vector>

#include "PolyDrawPoint.h"
#include "QELEntityBase.h"

// Only rotation is supported; Scale and Transform leave it unchanged and Clone gives null.
class CQELPolyDraw : public CQELEntity {
 public:
  CQELPolyDraw() : CQELEntity(kPolyDraw) {}

  void AddPoint(const PolyDrawPoint& point) { points_.push_back(point); }
  std::vector<PolyDrawPoint>& GetPoints() { return points_; }
  const std::vector<PolyDrawPoint>& GetPoints() const { return points_; }

  void Rotate(double angle) override;

 private:
  std::vector<PolyDrawPoint> points_;
};

#endif  // QELOBJECTLIBRARY_QELPOLYDRAW_H
