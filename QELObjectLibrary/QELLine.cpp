#include "QELLine.h"

#include <cmath>

void CQELLine::Scale(double sx, double sy) {
  start_.Scale(sx, sy);
  end_.Scale(sx, sy);
}

void CQELLine::Rotate(double angle) {
  start_.Rotate(angle);
  end_.Rotate(angle);
}

CQELLine* CQELLine::Clone() const {
  return new CQELLine(*this);
}

void CQELLine::Transform(double a, double b, double c, double d, double e, double f) {
  start_.Transform(a, b, c, d, e, f);
  end_.Transform(a, b, c, d, e, f);
}

void CQELLine::TransformBilinear(double a, double b, double c, double d, double e, double f,
                                 double g, double h) {
  start_.TransformBilinear(a, b, c, d, e, f, g, h);
  end_.TransformBilinear(a, b, c, d, e, f, g, h);
}
