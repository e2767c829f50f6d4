// The text path: a dense polyline of samples with cumulative arc length and
// direction, built from a NURBS curve, a circle (as a NURBS curve) or a
// polyline. Coordinates are output units.
#pragma once

#include <memory>
#include <vector>

#include "Limits.h"

namespace vuzodo {

struct PathSample {
  double x = 0.0, y = 0.0;
  double s = 0.0;      // arc length from the first sample
  double theta = 0.0;  // direction of the segment ending here; sample 0 has none
};

class NurbPath {
 public:
  // The most control points a path may have: ten samples are taken per point,
  // so this bounds a path at about a million samples (32 MB).
  static constexpr int kMaxControlPoints = limits::kMaxPathControlPoints;

  // Whether the counts can describe a curve: at least two control points, at
  // least degree + 1 of them (and no more than kMaxControlPoints), and
  // count + degree + 1 knots.
  static bool ValidNurbs(int degree, int count, int knot_count) {
    // In this order, so that no sum is taken of a count or degree that could overflow it.
    return degree >= 0 && count >= 2 && count <= kMaxControlPoints && degree <= count - 1 &&
           knot_count == count + degree + 1;
  }

  // Samples a NURBS curve. `xw` and `yw` are the control points already
  // multiplied by their weights `w` (homogeneous form), output units; `knots`
  // has count + degree + 1 values. With `flip` the samples run backwards.
  // Returns null for input that cannot describe a curve: counts that
  // ValidNurbs refuses, a zero weight or weights of both signs, a knot vector
  // that decreases or has an empty domain, or anything that is not finite.
  static std::unique_ptr<NurbPath> FromNurbs(int degree, int count, const float* xw,
                                             const float* yw, const float* w, int knot_count,
                                             const float* knots, bool flip);

  // A full circle of radius r about (cx, cy), starting at angle `a` (radians) and running
  // clockwise or not: nine control points in homogeneous form (multiplied by their weights, user
  // units) and twelve knots of a degree-2 NURBS, the curve hosts have always been given.
  struct CircleNurbs {
    float xw[9], yw[9], w[9];
    float knots[12];
  };
  static CircleNurbs Circle(float r, float cx, float cy, float a, bool clockwise);

  // A polyline path of n / 2 points (x, y alternating) scaled by `unit`.
  // Returns null for fewer than two points or a coordinate that is not finite
  // once scaled.
  static std::unique_ptr<NurbPath> FromPolyline(const float* points, int n, double unit, bool flip);

  // Point and direction at arc length s; false (nothing written) when s + w
  // runs past the end.
  bool PointAtLength(float s, float w, double& x, double& y, double& theta) const;
  // Direction at arc length s; 0.0 past the end.
  double AngleAtLength(float s) const;
  // Reverses the samples in place and recomputes lengths and directions.
  void Reverse();

  double TotalLength() const { return samples_.empty() ? 0.0 : samples_.back().s; }
  const std::vector<PathSample>& Samples() const { return samples_; }
  double Step() const { return step_; }

 private:
  void ComputeLengths();
  // The segment k >= 1 whose length range holds s (clamped to the first and
  // last segment).
  size_t SegmentAt(float s) const;

  double step_ = 0.0;  // parameter step factor, 0.1 / control point count
  std::vector<PathSample> samples_;
};

}  // namespace vuzodo
