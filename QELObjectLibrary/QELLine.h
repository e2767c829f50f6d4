// A straight segment between two points.
#ifndef QELOBJECTLIBRARY_QELLINE_H
#define QELOBJECTLIBRARY_QELLINE_H

#include "NURBSPoint.h"
#include "QELEntityBase.h"

class CQELLine : public CQELEntity {
 public:
  CQELLine() : CQELEntity(kLine) {}
  CQELLine(const NURBSPoint& start, const NURBSPoint& end)
      : CQELEntity(kLine), start_(start), end_(end) {}

  NURBSPoint& GetStartPoint() { return start_; }
  const NURBSPoint& GetStartPoint() const { return start_; }
  NURBSPoint& GetEndPoint() { return end_; }
  const NURBSPoint& GetEndPoint() const { return end_; }

  void Scale(double sx, double sy) override;
  void Rotate(double angle) override;
  [[nodiscard]] CQELLine* Clone() const override;
  void Transform(double a, double b, double c, double d, double e, double f) override;
  void TransformBilinear(double a, double b, double c, double d, double e, double f, double g,
                         double h) override;

 private:
  NURBSPoint start_;
  NURBSPoint end_;
};

#endif  // QELOBJECTLIBRARY_QELLINE_H
