// A weighted plane point, the value type that every entity of the geometry library is built from.
#ifndef QELOBJECTLIBRARY_NURBSPOINT_H
#define QELOBJECTLIBRARY_NURBSPOINT_H

#include <cmath>
#include <memory>

// Plain value class: copied member by member, no identity. Coordinates are doubles in the
// caller's drawing units (y up); the weight is only read by the rational Bezier evaluation.
class NURBSPoint {
 public:
  constexpr NURBSPoint() = default;
  constexpr NURBSPoint(double x, double y) : x_(x), y_(y) {}
  constexpr NURBSPoint(double x, double y, double weight) : x_(x), y_(y), weight_(weight) {}

  constexpr double GetX() const { return x_; }
  constexpr double GetY() const { return y_; }
  constexpr double GetWeight() const { return weight_; }
  constexpr void SetX(double x) { x_ = x; }
  constexpr void SetY(double y) { y_ = y; }
  constexpr void SetWeight(double weight) { weight_ = weight; }

  constexpr void Scale(double sx, double sy) {
    x_ *= sx;
    y_ *= sy;
  }

  // Rotation about the origin, counter-clockwise for a positive angle (radians).
  void Rotate(double angle) { RotateSinCos(std::sin(angle), std::cos(angle)); }

  // As Rotate with s = sin(angle) and c = cos(angle) already computed, so that a whole
  // polyline pays for one sine and one cosine.
  constexpr void RotateSinCos(double s, double c) {
    const double x = x_;
    const double y = y_;
    x_ = x * c - y * s;
    y_ = y * c + x * s;
  }

  // x' = a*x + b*y + e, y' = c*x + d*y + f, both from the old coordinates.
  constexpr void Transform(double a, double b, double c, double d, double e, double f) {
    const double x = x_;
    const double y = y_;
    x_ = a * x + b * y + e;
    y_ = c * x + d * y + f;
  }

  // x' = a*x + b*y + e*x*y + g, y' = c*x + d*y + f*x*y + h, both from the old coordinates.
  constexpr void TransformBilinear(double a, double b, double c, double d, double e, double f,
                                   double g, double h) {
    const double x = x_;
    const double y = y_;
    x_ = a * x + b * y + e * x * y + g;
    y_ = c * x + d * y + f * x * y + h;
  }

  // A heap copy (x, y and weight) for callers that need one they own; everything inside the
  // library copies points by value.
  std::unique_ptr<NURBSPoint> Clone() const { return std::make_unique<NURBSPoint>(*this); }

  friend constexpr bool operator==(const NURBSPoint&, const NURBSPoint&) = default;

 private:
  double x_ = 0.0;       // abscissa, drawing units
  double y_ = 0.0;       // ordinate, drawing units (y up)
  double weight_ = 1.0;  // rational weight, dimensionless
};

#endif  // QELOBJECTLIBRARY_NURBSPOINT_H
