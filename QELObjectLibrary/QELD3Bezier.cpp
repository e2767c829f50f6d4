#include "QELD3Bezier.h"

void CQELD3Bezier::Rotate(double angle) {
  for (NURBSPoint& p : control_points_) p.Rotate(angle);
}
