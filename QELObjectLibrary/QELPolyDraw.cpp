#include "QELPolyDraw.h"

#include <cmath>

void CQELPolyDraw::Rotate(double angle) {
  for (PolyDrawPoint& p : points_) p.Rotate(angle);
}
