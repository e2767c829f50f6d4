// Bounding boxes of entities and of stream arc pieces, and recognition of circular polylines.
#include <cmath>
#include <numbers>

#include "QELUtility.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

void Widen(NURBSPoint& min, NURBSPoint& max, double x, double y) {
  if (x < min.GetX()) min.SetX(x);
  if (y < min.GetY()) min.SetY(y);
  if (x > max.GetX()) max.SetX(x);
  if (y > max.GetY()) max.SetY(y);
}

// cos and sin of the extremes' parameters of an arc whose axis lies along +x: pi, pi / 2 and
// pi / 2 + pi as the loop below rounds them (index 0, the parameter +-0, needs no table).
struct AxisExtremes {
  double cos[4];
  double sin[4];
  AxisExtremes() {
    const double us[4] = {0.0, 0.0 + std::numbers::pi, std::numbers::pi / 2.0,
                          std::numbers::pi / 2.0 + std::numbers::pi};
    for (int i = 0; i < 4; ++i) {
      cos[i] = std::cos(us[i]);
      sin[i] = std::sin(us[i]);
    }
  }
};

// The extent of an elliptical arc: its end points and every axis extreme (in x and in y) whose
// parameter lies within the swept range.
void GrowArcBox(NURBSPoint& min, NURBSPoint& max, const CQELEllipticalArc& arc) {
  const NURBSPoint& axis = arc.GetAxisPoint();
  const double r = std::sqrt(axis.GetX() * axis.GetX() + axis.GetY() * axis.GetY());
  const double b = arc.GetRatio() * r;
  // An axis along +x (every arc of the stroke fonts, whose font box is grown over thousands of
  // arcs at load) has its angle and the extremes' parameters exactly: atan2(+-0, x > 0) is +-0,
  // its cosine 1 and sine +-0, atan2(+-0, r > 0) is +-0 and atan2(b > 0, +-0) is pi / 2. They
  // are the very values of the calls, so the box is the same bit for bit.
  const bool along_x = axis.GetY() == 0.0 && axis.GetX() > 0.0 && std::isfinite(axis.GetX()) &&
                       b > 0.0 && std::isfinite(b);
  const double theta = along_x ? axis.GetY() : std::atan2(axis.GetY(), axis.GetX());
  const double ct = along_x ? 1.0 : std::cos(theta);
  const double st = along_x ? theta : std::sin(theta);
  const double cx = arc.GetCenter().GetX();
  const double cy = arc.GetCenter().GetY();
  auto point = [&](double cu, double su) {
    Widen(min, max, cx + r * cu * ct - b * su * st, cy + r * cu * st + b * su * ct);
  };
  auto take = [&](double u) { point(std::cos(u), std::sin(u)); };

  const double start = arc.GetStartAngle();
  const double end = start + arc.GetSweep();
  take(start);
  take(end);
  const double lo = std::fmin(start, end);
  const double hi = std::fmax(start, end);
  if (!std::isfinite(hi - lo)) return;  // no range to search for extremes
  // dx/du = 0 and dy/du = 0, each with its opposite parameter.
  const double ux = along_x ? -b * st : std::atan2(-b * st, r * ct);
  const double uy = along_x ? std::numbers::pi / 2.0 : std::atan2(b * ct, r * st);
  const double us[4] = {ux, ux + std::numbers::pi, uy, uy + std::numbers::pi};
  for (int i = 0; i < 4; ++i) {
    const double u = us[i];
    // The first copy of u at or above lo; it is on the arc when it does not pass hi.
    const double k = std::ceil((lo - u) / kTwoPi);
    if (u + k * kTwoPi > hi) continue;
    if (along_x) {
      // The parameters are then +-0, pi, pi / 2 and 3 pi / 2 as rounded: their cosines and sines
      // are the calls' own results, kept from the first call (cos(+-0) is 1, sin(+-0) is +-0).
      static const AxisExtremes extremes;
      if (i == 0) {
        point(1.0, u);
      } else {
        point(extremes.cos[i], extremes.sin[i]);
      }
    } else {
      take(u);
    }
  }
}

// Quadrant of a point off both axes: 0 upper right, 1 upper left, 2 lower left, 3 lower right.
int Quadrant(double x, double y) {
  if (y >= 0.0) return x >= 0.0 ? 0 : 1;
  return x < 0.0 ? 2 : 3;
}

// The circumcentre of (a, b, c) as the meeting point of the perpendicular bisectors of the
// chords a-b and b-c, or false when the points are collinear.
bool CircleCentre(const NURBSPoint& a, const NURBSPoint& b, const NURBSPoint& c, double& x,
                  double& y) {
  // Relative to a, to keep the cancellation small for circles far from the origin.
  const double bx = b.GetX() - a.GetX();
  const double by = b.GetY() - a.GetY();
  const double cx = c.GetX() - a.GetX();
  const double cy = c.GetY() - a.GetY();
  // Bisector of a-b: p . (b - a) = |b - a|^2 / 2; of b-c: p . (c - b) = (|c|^2 - |b|^2) / 2.
  const double d1x = bx;
  const double d1y = by;
  const double d2x = cx - bx;
  const double d2y = cy - by;
  const double det = d1x * d2y - d1y * d2x;
  if (det == 0.0) return false;
  const double r1 = 0.5 * (bx * bx + by * by);
  const double r2 = 0.5 * ((cx * cx + cy * cy) - (bx * bx + by * by));
  x = a.GetX() + (r1 * d2y - r2 * d1y) / det;
  y = a.GetY() + (d1x * r2 - d2x * r1) / det;
  return true;
}

}  // namespace

void GrowBoundingBox(NURBSPoint& min, NURBSPoint& max, const CQELEntity* entity) {
  if (entity == nullptr) return;
  switch (entity->GetType()) {
    case CQELEntity::kLine: {
      const auto* line = static_cast<const CQELLine*>(entity);
      Widen(min, max, line->GetStartPoint().GetX(), line->GetStartPoint().GetY());
      Widen(min, max, line->GetEndPoint().GetX(), line->GetEndPoint().GetY());
      break;
    }
    case CQELEntity::kEllipticalArc:
      GrowArcBox(min, max, *static_cast<const CQELEllipticalArc*>(entity));
      break;
    case CQELEntity::kPolyLine:
      for (const NURBSPoint& p : static_cast<const CQELPolyLine*>(entity)->GetPoints()) {
        Widen(min, max, p.GetX(), p.GetY());
      }
      break;
    case CQELEntity::kDot: {
      const NURBSPoint& p = static_cast<const CQELDot*>(entity)->GetPosition();
      Widen(min, max, p.GetX(), p.GetY());
      break;
    }
    default:
      break;
  }
}

void QuarterArcBox(double x1, double y1, double x2, double y2, NURBSPoint& max, NURBSPoint& min) {
  const double t = 1e-12 * (x1 * x1 + y1 * y1);
  // The quadrants S may belong to: two when it lies on an axis.
  int first = 0;
  int second = 0;
  bool s_on_axis = true;
  if (y1 * y1 < t) {
    first = x1 < 0.0 ? 1 : 0;
    second = x1 < 0.0 ? 2 : 3;
  } else if (x1 * x1 < t) {
    first = y1 < 0.0 ? 2 : 0;
    second = y1 < 0.0 ? 3 : 1;
  } else {
    first = second = Quadrant(x1, y1);
    s_on_axis = false;
  }

  int qs = first;
  int qe = first;
  if (x2 * x2 >= t && y2 * y2 >= t) {
    qe = Quadrant(x2, y2);
    qs = s_on_axis ? qe : first;
  } else if (y2 * y2 < t) {
    if (x2 >= 0.0) {
      qs = qe = (first == 0 || first == 3) ? first : second;
    } else {
      qs = qe = (first == 1 || first == 2) ? first : second;
    }
  } else if (y2 >= 0.0) {
    qs = qe = (first == 0 || first == 1) ? first : second;
  } else {
    qs = qe = (first == 2 || first == 3) ? first : second;
  }

  const double radius = std::sqrt(x1 * x1 + y1 * y1);
  max = NURBSPoint(std::fmax(x1, x2), std::fmax(y1, y2));
  min = NURBSPoint(std::fmin(x1, x2), std::fmin(y1, y2));
  const int lower = qs < qe ? qs : qe;
  const int upper = qs < qe ? qe : qs;
  if (lower == 0 && upper == 1) {
    max.SetY(radius);
  } else if (lower == 0 && upper == 3) {
    max.SetX(radius);
  } else if (lower == 1 && upper == 2) {
    min.SetX(-radius);
  } else if (lower == 2 && upper == 3) {
    min.SetY(-radius);
  }
  // Equal quadrants need nothing more; opposite ones never come from a quarter-turn piece.
}

CQELEllipticalArc* PolyLineToCircle(const CQELPolyLine* polyline) {
  if (polyline == nullptr) return nullptr;
  const QELPointList& p = polyline->GetPoints();
  const std::size_t n = p.size();
  if (n < 4) return nullptr;

  double c1x, c1y, c2x, c2y, c3x, c3y;
  if (!CircleCentre(p[0], p[1], p[2], c1x, c1y)) return nullptr;
  if (!CircleCentre(p[n - 3], p[n - 2], p[n - 1], c2x, c2y)) return nullptr;
  if (n > 4) {
    if (!CircleCentre(p[n / 2 - 1], p[n / 2], p[n / 2 + 1], c3x, c3y)) return nullptr;
  } else {
    c3x = c1x;
    c3y = c1y;
  }

  const double dx0 = p[0].GetX() - c1x;
  const double dy0 = p[0].GetY() - c1y;
  const double r2 = dx0 * dx0 + dy0 * dy0;
  const double tolerance = 1e-14 * r2;
  const double d13 = (c1x - c3x) * (c1x - c3x) + (c1y - c3y) * (c1y - c3y);
  const double d32 = (c3x - c2x) * (c3x - c2x) + (c3y - c2y) * (c3y - c2y);
  if (!(d13 < tolerance && d32 < tolerance)) return nullptr;

  const double a0 = std::atan2(dy0, dx0);
  double a_end = std::atan2(p[n - 1].GetY() - c1y, p[n - 1].GetX() - c1x);
  double a2 = std::atan2(p[2].GetY() - c1y, p[2].GetX() - c1x);
  // Into [a0, a0 + 2 pi). atan2 is bounded, so these loops run at most twice.
  while (a_end > a0) a_end -= kTwoPi;
  while (a_end < a0) a_end += kTwoPi;
  while (a2 > a0) a2 -= kTwoPi;
  while (a2 < a0) a2 += kTwoPi;
  // A closed ring (last point equal to the first) gets aEnd = a0, so a2 is never below it and
  // the sweep is -2 pi whatever the orientation.
  const double sweep = a2 < a_end ? a_end - a0 : a_end - a0 - kTwoPi;
  return new CQELEllipticalArc(NURBSPoint(c1x, c1y), NURBSPoint(std::sqrt(r2), 0.0), 1.0, a0,
                               sweep);
}
