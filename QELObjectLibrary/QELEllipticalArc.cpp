#include "QELEllipticalArc.h"

#include <cmath>

#include "QELPolyLine.h"

namespace {

// Beyond this many segments a flattening is refused (an empty polyline): about 14,600 turns,
// far past any arc a font or a caller draws, and short of a runaway allocation.
constexpr double kMaxFlatteningSegments = 1 << 20;

}  // namespace

void CQELEllipticalArc::Scale(double sx, double sy) {
  // An ellipse scaled non-uniformly would need a new axis and ratio; the arc deliberately stays
  // as it is, and so does a true ellipse scaled uniformly.
  if (ratio_ == 1.0 && sx == sy) {
    center_.Scale(sx, sy);
    axis_point_.Scale(sx, sy);
  }
}

void CQELEllipticalArc::Rotate(double angle) {
  center_.Rotate(angle);
  axis_point_.Rotate(angle);
}

CQELEllipticalArc* CQELEllipticalArc::Clone() const {
  // A default arc with the coordinates copied over: the weights of the centre and the axis point
  // are not carried (they are never read for an arc).
  auto* clone = new CQELEllipticalArc();
  clone->SetType(GetType());
  clone->center_ = NURBSPoint(center_.GetX(), center_.GetY());
  clone->axis_point_ = NURBSPoint(axis_point_.GetX(), axis_point_.GetY());
  clone->ratio_ = ratio_;
  clone->start_angle_ = start_angle_;
  clone->sweep_ = sweep_;
  return clone;
}

void CQELEllipticalArc::Transform(double a, double b, double c, double d, double e, double f) {
  center_.Transform(a, b, c, d, e, f);
}

CQELPolyLine* CQELEllipticalArc::Flatten() const {
  auto* polyline = new CQELPolyLine();
  polyline->SetClosed(0);

  const double r =
      std::sqrt(axis_point_.GetX() * axis_point_.GetX() + axis_point_.GetY() * axis_point_.GetY());
  const double minor = ratio_ * r;
  const double theta = std::atan2(axis_point_.GetY(), axis_point_.GetX());
  const double sin_theta = std::sin(theta);
  const double cos_theta = std::cos(theta);

  const double segments = std::ceil(std::fabs(sweep_) / kArcFlatteningStep);
  if (!(segments <= kMaxFlatteningSegments)) return polyline;  // non-finite or runaway sweep
  const int n = static_cast<int>(segments);

  auto add = [&](double t) {
    NURBSPoint p(r * std::cos(t), minor * std::sin(t));
    p.RotateSinCos(sin_theta, cos_theta);
    polyline->AddPoint(p.GetX() + center_.GetX(), p.GetY() + center_.GetY());
  };
  if (n == 0) {
    // A sweep of zero has no step; it flattens to its start point alone.
    add(start_angle_);
    return polyline;
  }
  polyline->GetPoints().reserve(static_cast<size_t>(n) + 1);
  const double step = sweep_ / n;
  for (int i = 0; i <= n; ++i) add(start_angle_ + step * i);
  return polyline;
}

CQELPolyLine* CQELEllipticalArc::ToPolyLine(double a, double b, double c, double d, double e,
                                            double f) const {
  CQELPolyLine* polyline = Flatten();
  polyline->Transform(a, b, c, d, e, f);
  return polyline;
}

CQELPolyLine* CQELEllipticalArc::ToPolyLineBilinear(double a, double b, double c, double d,
                                                    double e, double f, double g, double h) const {
  CQELPolyLine* polyline = Flatten();
  polyline->TransformBilinear(a, b, c, d, e, f, g, h);
  return polyline;
}
