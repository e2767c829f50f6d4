// An elliptical (or circular) arc given by centre, major-axis vector, axis ratio and a signed
// parametric sweep.
#ifndef QELOBJECTLIBRARY_QELELLIPTICALARC_H
#define QELOBJECTLIBRARY_QELELLIPTICALARC_H

#include "NURBSPoint.h"
#include "QELEntityBase.h"

class CQELPolyLine;

// Angle step of the arc flattening, radians: the single-precision 3.14 divided by 36 in double,
// about 5 degrees (0.08722222513622707). The float rounding of 3.14 is part of the point counts
// that callers see, so it is kept.
inline constexpr double kArcFlatteningStep = static_cast<double>(3.14f) / 36.0;

class CQELEllipticalArc : public CQELEntity {
 public:
  static constexpr double kFullTurn = 6.283185307179586;  // 2*pi

  // Centre (0, 0), axis point (0, 0), ratio 1, start 0, sweep a full turn.
  CQELEllipticalArc() : CQELEntity(kEllipticalArc) {}
  CQELEllipticalArc(const NURBSPoint& center, const NURBSPoint& axis_point, double ratio,
                    double start_angle, double sweep)
      : CQELEntity(kEllipticalArc),
        center_(center),
        axis_point_(axis_point),
        ratio_(ratio),
        start_angle_(start_angle),
        sweep_(sweep) {}
  // A circular arc: axis point (radius, 0), ratio 1.
  CQELEllipticalArc(const NURBSPoint& center, double radius, double start_angle, double sweep)
      : CQELEntity(kEllipticalArc),
        center_(center),
        axis_point_(radius, 0.0),
        start_angle_(start_angle),
        sweep_(sweep) {}

  NURBSPoint& GetCenter() { return center_; }
  const NURBSPoint& GetCenter() const { return center_; }
  NURBSPoint& GetAxisPoint() { return axis_point_; }
  const NURBSPoint& GetAxisPoint() const { return axis_point_; }
  double GetRatio() const { return ratio_; }
  void SetRatio(double ratio) { ratio_ = ratio; }
  double GetStartAngle() const { return start_angle_; }
  void SetStartAngle(double angle) { start_angle_ = angle; }
  double GetSweep() const { return sweep_; }
  void SetSweep(double sweep) { sweep_ = sweep; }

  // Only a circular arc (ratio exactly 1) scaled uniformly (sx == sy exactly) changes; any
  // other scale leaves the arc as it is.
  void Scale(double sx, double sy) override;
  // Rotates centre and axis point about the origin; the angles are parametric and stay.
  void Rotate(double angle) override;
  [[nodiscard]] CQELEllipticalArc* Clone() const override;
  // Moves the centre only: axis point, ratio and angles stay, so the arc keeps its size.
  void Transform(double a, double b, double c, double d, double e, double f) override;
  // TransformBilinear is inherited as a no-op.

  // Flattens the arc into a new open polyline (caller owns it) of ceil(|sweep| / step) segments,
  // then applies the affine (a...f) respectively bilinear (a...h) transform to it.
  [[nodiscard]] CQELPolyLine* ToPolyLine(double a, double b, double c, double d, double e,
                                         double f) const;
  [[nodiscard]] CQELPolyLine* ToPolyLineBilinear(double a, double b, double c, double d, double e,
                                                 double f, double g, double h) const;

 private:
  CQELPolyLine* Flatten() const;

  NURBSPoint center_;         // absolute, drawing units
  NURBSPoint axis_point_;     // major-axis vector relative to the centre; length = major radius
  double ratio_ = 1.0;        // minor radius / major radius
  double start_angle_ = 0.0;  // parametric angle of the first point, radians
  double sweep_ = kFullTurn;  // signed, radians, counter-clockwise positive
};

#endif  // QELOBJECTLIBRARY_QELELLIPTICALARC_H
