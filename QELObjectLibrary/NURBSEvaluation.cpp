// Quadratic glyph pieces raised to rational cubics and flattened at a fixed parameter step.
#include "QELUtility.h"

void ElevateQuadratic(const NURBSPoint& p0, const NURBSPoint& p1, const NURBSPoint& p2,
                      CQELD3Bezier& cubic) {
  std::array<NURBSPoint, 4>& c = cubic.GetControlPoints();
  const double w0 = p0.GetWeight();
  const double w1 = p1.GetWeight();
  const double w2 = p2.GetWeight();
  c[0] = p0;
  // Homogeneous coordinates (x*w, y*w, w) are elevated, then projected back.
  const double c1w = w0 + 2.0 * (w1 - w0) / 3.0;
  c[1] = NURBSPoint((p0.GetX() * w0 + 2.0 * (p1.GetX() * w1 - p0.GetX() * w0) / 3.0) / c1w,
                    (p0.GetY() * w0 + 2.0 * (p1.GetY() * w1 - p0.GetY() * w0) / 3.0) / c1w, c1w);
  const double c2w = w1 + (w2 - w1) / 3.0;
  c[2] = NURBSPoint((p1.GetX() * w1 + (p2.GetX() * w2 - p1.GetX() * w1) / 3.0) / c2w,
                    (p1.GetY() * w1 + (p2.GetY() * w2 - p1.GetY() * w1) / 3.0) / c2w, c2w);
  c[3] = p2;
}

NURBSPoint EvaluateRationalBezier(std::span<const NURBSPoint> control, double t, int degree) {
  const double s = 1.0 - t;
  double basis[4];
  switch (degree) {
    case 1:
      basis[0] = s;
      basis[1] = t;
      break;
    case 2:
      basis[0] = s * s;
      basis[1] = 2.0 * s * t;
      basis[2] = t * t;
      break;
    case 3:
      basis[0] = s * s * s;
      basis[1] = 3.0 * s * s * t;
      basis[2] = 3.0 * s * t * t;
      basis[3] = t * t * t;
      break;
    default:
      return NURBSPoint();
  }
  if (control.size() < static_cast<std::size_t>(degree) + 1) return NURBSPoint();
  double w = 0.0;
  double x = 0.0;
  double y = 0.0;
  for (int i = 0; i <= degree; ++i) {
    const double bw = basis[i] * control[i].GetWeight();
    w += bw;
    x += bw * control[i].GetX();
    y += bw * control[i].GetY();
  }
  // The combined weight is kept on the result rather than reset to 1.
  return NURBSPoint(x / w, y / w, w);
}

void FlattenCubicPiece(const CQELD3Bezier& cubic, CQELPolyLine* polyline) {
  if (polyline == nullptr) return;
  const std::array<NURBSPoint, 4>& c = cubic.GetControlPoints();
  if (c[0].GetX() == c[1].GetX() && c[0].GetY() == c[1].GetY() && c[2].GetX() == c[3].GetX() &&
      c[2].GetY() == c[3].GetY()) {
    polyline->AddPoint(c[0].GetX(), c[0].GetY(), 1.0);
    polyline->AddPoint(c[3].GetX(), c[3].GetY(), 1.0);
    return;
  }
  // Quarters are exact in binary, so the loop runs exactly four times.
  for (double t = 0.25; t <= 1.0; t += 0.25) {
    polyline->AddPoint(EvaluateRationalBezier(c, t, 3));
  }
}
