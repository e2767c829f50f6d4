// A single marked point.
#ifndef QELOBJECTLIBRARY_QELDOT_H
#define QELOBJECTLIBRARY_QELDOT_H

#include "NURBSPoint.h"
#include "QELEntityBase.h"

class CQELDot : public CQELEntity {
 public:
  CQELDot() : CQELEntity(kDot) {}
  explicit CQELDot(const NURBSPoint& position) : CQELEntity(kDot), position_(position) {}

  NURBSPoint& GetPosition() { return position_; }
  const NURBSPoint& GetPosition() const { return position_; }

  void Scale(double sx, double sy) override;
  void Rotate(double angle) override;
  [[nodiscard]] CQELDot* Clone() const override;
  void Transform(double a, double b, double c, double d, double e, double f) override;
  void TransformBilinear(double a, double b, double c, double d, double e, double f, double g,
                         double h) override;

 private:
  NURBSPoint position_;
};

#endif  // QELOBJECTLIBRARY_QELDOT_H
