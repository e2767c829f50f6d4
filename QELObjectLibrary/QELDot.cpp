#include "QELDot.h"

void CQELDot::Scale(double sx, double sy) {
  position_.Scale(sx, sy);
}

void CQELDot::Rotate(double angle) {
  position_.Rotate(angle);
}

CQELDot* CQELDot::Clone() const {
  return new CQELDot(*this);
}

void CQELDot::Transform(double a, double b, double c, double d, double e, double f) {
  position_.Transform(a, b, c, d, e, f);
}

void CQELDot::TransformBilinear(double a, double b, double c, double d, double e, double f,
                                double g, double h) {
  position_.TransformBilinear(a, b, c, d, e, f, g, h);
}
