// An ordered list of points with a closed flag: the workhorse entity of the library.
#ifndef QELOBJECTLIBRARY_QELPOLYLINE_H
#define QELOBJECTLIBRARY_QELPOLYLINE_H

#include <cstdint>
#include <vector>

#include "NURBSPoint.h"
#include "PointAllocator.h"
#include "QELEntityBase.h"

// The vertices of a polyline, held by value in one contiguous array.
using QELPointList = std::vector<NURBSPoint, qel::PointAllocator<NURBSPoint>>;

// The points are held by value in one contiguous array, so a clone costs the object, one
// recycled point block and a copy of the points. Curves are always flattened before they are
// stored.
class CQELPolyLine : public CQELEntity {
 public:
  CQELPolyLine() : CQELEntity(kPolyLine) {}

  void AddPoint(const NURBSPoint& point) { points_.push_back(point); }
  void AddPoint(double x, double y, double weight = 1.0) { points_.emplace_back(x, y, weight); }
  // The vertices in drawing order; callers read, change and erase them in place.
  QELPointList& GetPoints() { return points_; }
  const QELPointList& GetPoints() const { return points_; }

  // 1: closed (the segment from the last point back to the first is implied, the first point is
  // not repeated); 0: open. A fresh polyline is closed.
  std::int32_t GetClosed() const { return closed_; }
  void SetClosed(std::int32_t closed) { closed_ = closed; }

  void Scale(double sx, double sy) override;
  void Rotate(double angle) override;
  [[nodiscard]] CQELPolyLine* Clone() const override;
  void Transform(double a, double b, double c, double d, double e, double f) override;
  void TransformBilinear(double a, double b, double c, double d, double e, double f, double g,
                         double h) override;

 private:
  QELPointList points_;
  std::int32_t closed_ = 1;
};

// Closes a finished contour whose last point repeats its first within 0.001 in x and in y: the
// last point is dropped and the closed flag set to 1; otherwise the flag becomes 0. A null or
// empty polyline is left unchanged.
void CloseIfEndsMeet(CQELPolyLine* polyline);

#endif  // QELOBJECTLIBRARY_QELPOLYLINE_H
