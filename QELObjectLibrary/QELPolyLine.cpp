#include "QELPolyLine.h"

#include <cmath>

void CQELPolyLine::Scale(double sx, double sy) {
  for (NURBSPoint& p : points_) p.Scale(sx, sy);
}

void CQELPolyLine::Rotate(double angle) {
  const double s = std::sin(angle);
  const double c = std::cos(angle);
  for (NURBSPoint& p : points_) p.RotateSinCos(s, c);
}

// The copy constructor copies the point array in one go and the closed flag with it.
CQELPolyLine* CQELPolyLine::Clone() const {
  return new CQELPolyLine(*this);
}

void CQELPolyLine::Transform(double a, double b, double c, double d, double e, double f) {
  for (NURBSPoint& p : points_) p.Transform(a, b, c, d, e, f);
}

void CQELPolyLine::TransformBilinear(double a, double b, double c, double d, double e, double f,
                                     double g, double h) {
  for (NURBSPoint& p : points_) p.TransformBilinear(a, b, c, d, e, f, g, h);
}

void CloseIfEndsMeet(CQELPolyLine* polyline) {
  if (polyline == nullptr || polyline->GetPoints().empty()) return;
  QELPointList& points = polyline->GetPoints();
  const NURBSPoint& first = points.front();
  const NURBSPoint& last = points.back();
  // With a single point, first and last are the same point: it goes, leaving an empty contour.
  if (std::fabs(first.GetX() - last.GetX()) <= 0.001 &&
      std::fabs(first.GetY() - last.GetY()) <= 0.001) {
    points.pop_back();
    polyline->SetClosed(1);
  } else {
    polyline->SetClosed(0);
  }
}
