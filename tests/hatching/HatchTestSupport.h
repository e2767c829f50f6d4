// Running one hand-made character through the hatching exchange, and an
// independent inside test (winding number written here, not the library's).
#pragma once

#include <utility>
#include <vector>

#include "QELEntity.h"

namespace hatchtest {

using Pt = std::pair<double, double>;
using Ring = std::vector<Pt>;

struct Seg {
  double x0, y0, x1, y1;
};

struct Poly {
  std::vector<Pt> points;
  bool closed = false;
};

struct Fill {
  std::vector<Seg> lines;      // the fill list (all CQELLine)
  std::vector<Poly> polys;     // the polyline list
  bool fill_all_lines = true;  // every fill entity was of type 0
};

// Hands `outline` (ownership passes) to the exchange with the current pattern
// list and copies out what comes back; ends the exchange.
Fill Hatch(std::vector<CQELEntity*> outline);

// A closed polyline through the points, in the given order.
CQELPolyLine* Polygon(const Ring& ring);
// The rectangle [x0, x1] x [y0, y1], counter-clockwise (or clockwise).
Ring Rect(double x0, double y0, double x1, double y1, bool ccw = true);

// Nonzero winding of the rings at (x, y); a point within `tol` of an edge counts
// as inside.
bool Inside(const std::vector<Ring>& rings, double x, double y, double tol);

// Checks that every fill segment and every polyline edge, sampled at 21 points,
// lies inside the rings (within `tol`); returns how many samples failed.
int SamplesOutside(const Fill& fill, const std::vector<Ring>& rings, double tol);

// Area of a ring (shoelace), positive counter-clockwise.
double Area(const std::vector<Pt>& ring);

}  // namespace hatchtest
