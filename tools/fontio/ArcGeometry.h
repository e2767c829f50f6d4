// The circle behind an arc record of the interface's int arrays.
#pragma once

#include <cmath>

namespace vuzodo_fontio {

// Centre, radius, start angle and signed sweep (radians, counter-clockwise positive) of an
// arc record. The record gives the end and the centre relative to the pen; the radius is the
// pen's distance from the centre, and the arc is the shorter way round from the pen to the
// end, as the record means it.
struct RecordArc {
  double cx, cy, radius, start, sweep;
};

inline RecordArc ArcFromRecord(double pen_x, double pen_y, double ex, double ey, double cx,
                               double cy) {
  RecordArc arc{};
  arc.cx = pen_x + cx;
  arc.cy = pen_y + cy;
  const double sx = -cx, sy = -cy;          // pen relative to the centre
  const double tx = ex - cx, ty = ey - cy;  // end relative to the centre
  arc.radius = std::hypot(sx, sy);
  arc.start = std::atan2(sy, sx);
  arc.sweep = std::atan2(sx * ty - sy * tx, sx * tx + sy * ty);
  return arc;
}

}  // namespace vuzodo_fontio
