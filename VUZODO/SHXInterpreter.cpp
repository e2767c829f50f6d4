#include "SHXInterpreter.h"

#include <array>
#include <cmath>
#include <numbers>

namespace vuzodo {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kOctant = std::numbers::pi / 4.0;

// Operand bytes 128..255 stand for -128..-1.
int Signed(std::int32_t byte) {
  return byte >= 128 ? byte - 256 : byte;
}

// Reduces an angle to [0, 2*pi).
double ReduceAngle(double angle) {
  if (!std::isfinite(angle)) return angle;
  double reduced = std::fmod(angle, kTwoPi);
  if (reduced < 0.0) reduced += kTwoPi;
  if (reduced >= kTwoPi) reduced = 0.0;
  return reduced;
}

// The sixteen vector directions. Odd directions and the diagonals are stretched so that one
// step of length 1 lands on the grid point the direction names: (1, 0.5), (1, 1), (0.5, 1) ...
struct Step {
  double c;
  double s;
};
const std::array<Step, 16>& VectorSteps() {
  static const std::array<Step, 16> steps = [] {
    std::array<Step, 16> table{};
    const double sixteenth = kPi / 8.0;  // 22.5 degrees
    const double tilt = std::asin(1.0 / std::sqrt(5.0));
    for (int d = 0; d < 16; ++d) {
      double angle = d * sixteenth;
      double stretch = 1.0;
      if (d % 2 == 0) {
        if (d % 4 != 0) stretch = std::numbers::sqrt2;
      } else {
        angle = d % 4 == 1 ? (d - 1) * sixteenth + tilt : (d + 1) * sixteenth - tilt;
        stretch = std::sqrt(5.0) / 2.0;
      }
      table[d] = {std::cos(angle) * stretch, std::sin(angle) * stretch};
    }
    return table;
  }();
  return steps;
}

}  // namespace

SHXShapeRun SHXInterpreter::Run(const SHXShapeInfo& shape, double out_scale, SHXPenSink& sink) {
  // Nothing of the previous shape carries over but the call chain's capacity, which a font of
  // thousands of shapes would otherwise allocate anew for each.
  sink_ = &sink;
  current_ = nullptr;
  entity_count_ = 0;
  out_scale_x_ = out_scale_y_ = out_scale;
  x_ = y_ = 0.0;
  scale_factor_ = 1.0;
  stack_depth_ = 0;
  pen_down_ = true;
  vertical_only_ = false;
  last_dx_ = last_dy_ = 0.0;
  active_.clear();
  steps_ = 0;
  refused_ = false;
  Interpret(shape, 0.0, 0.0, 1.0, 1.0, 0);
  FinishPolyLine();
  sink_ = nullptr;
  return {refused_, x_, y_};
}

void SHXInterpreter::FinishPolyLine() {
  if (current_ == nullptr) return;
  current_ = nullptr;
  ++entity_count_;
  sink_->EndStroke();
}

void SHXInterpreter::DrawOrMove(double dx, double dy) {
  last_dx_ = dx;
  last_dy_ = dy;
  if (!pen_down_) {
    x_ += dx;
    y_ += dy;
    return;
  }
  if (++steps_ > kMaxSteps) return Refuse();
  const double px = x_ * out_scale_x_;
  const double py = y_ * out_scale_y_;
  if (current_ != nullptr) {
    const NURBSPoint& last = current_->GetPoints().back();
    // Exact comparison: a stroke continues only from exactly where it stopped.
    if (last.GetX() != px || last.GetY() != py) FinishPolyLine();
  }
  if (current_ == nullptr) {
    if (entity_count_ >= kMaxEntities) return Refuse();
    current_ = &sink_->BeginStroke();
    current_->AddPoint(px, py);
  }
  x_ += dx;
  y_ += dy;
  current_->AddPoint(x_ * out_scale_x_, y_ * out_scale_y_);
}

void SHXInterpreter::EmitArc(double cx, double cy, double radius, double start, double sweep) {
  if (!pen_down_) return;
  FinishPolyLine();
  if (entity_count_ >= kMaxEntities) return Refuse();
  const NURBSPoint centre(cx * out_scale_x_, cy * out_scale_y_);
  ++entity_count_;
  sink_->Arc(out_scale_x_ == out_scale_y_
                 ? CQELEllipticalArc(centre, radius * out_scale_x_, start, sweep)
                 : CQELEllipticalArc(centre, NURBSPoint(radius * out_scale_x_, 0.0),
                                     out_scale_y_ / out_scale_x_, start, sweep));
}

void SHXInterpreter::EmitArcByAngles(double cx, double cy, double radius, double start, double end,
                                     bool counterclockwise) {
  if (!std::isfinite(start) || !std::isfinite(end)) return Refuse();
  // Whole turns only: the end lands in [start, start + 2*pi).
  end -= std::floor((end - start) / kTwoPi) * kTwoPi;
  if (end < start) end += kTwoPi;
  if (end >= start + kTwoPi) end -= kTwoPi;
  const double sweep = counterclockwise ? end - start : end - start - kTwoPi;
  EmitArc(cx, cy, radius, start, sweep);
}

// Code 10: radius, then SC: bit 7 clockwise, bits 4-6 start octant, bits 0-3 octant count
// (0 = full circle; counts above 8 sweep past a full turn, as the byte allows).
void SHXInterpreter::OctantArc(int radius_byte, int sc) {
  const double radius = radius_byte * scale_factor_;
  const int s = (sc >> 4) & 7;
  const int c = sc & 15;
  const bool clockwise = (sc & 0x80) != 0;
  const double a0 = s * kOctant;
  const double cx = x_ - radius * std::cos(a0);
  const double cy = y_ - radius * std::sin(a0);
  double start = 0.0;
  double sweep = 0.0;
  if (!clockwise) {
    start = ReduceAngle(a0);
    sweep = c == 0 ? kTwoPi : c * kOctant;
  } else {
    start = ReduceAngle(std::atan2(y_ - cy, x_ - cx));
    sweep = c == 0 ? -kTwoPi : -c * kOctant;
  }
  const double end = start + sweep;
  EmitArc(cx, cy, radius, start, sweep);
  x_ = cx + radius * std::cos(end);
  y_ = cy + radius * std::sin(end);
}

// Code 11: offsets in 1/256 of an octant, a 16-bit radius, SC as for code 10.
void SHXInterpreter::FractionalArc(int start_offset, int end_offset, int radius_value, int sc) {
  const double radius = radius_value * scale_factor_;
  const int s = (sc >> 4) & 7;
  const int c = sc & 15;
  const bool clockwise = (sc & 0x80) != 0;
  const double so = start_offset / 256.0;
  const double eo = end_offset / 256.0;
  double start = clockwise ? (s - so) * kOctant : (s + so) * kOctant;
  const double cx = x_ - radius * std::cos(start);
  const double cy = y_ - radius * std::sin(start);
  start = ReduceAngle(start);
  double end = 0.0;
  if (!clockwise) {
    end = end_offset == 0 ? (s + c) * kOctant : (s + c - 1 + eo) * kOctant;
  } else if (end_offset == 0) {
    int k = s - c;
    if (k + 1 < 0) k += 8;
    end = k * kOctant;
  } else if (s - c < 0) {
    end = (s - c + 9 - eo) * kOctant;
  } else if (c == 0) {
    end = (s + 1 - eo) * kOctant;
  } else {
    end = (s - c + 1 - eo) * kOctant;
  }
  // Odd but kept: the turn is added when the start octant equals the count, whatever the offsets.
  if (s == c) end += kTwoPi;
  if (end > kTwoPi) end -= kTwoPi;
  EmitArcByAngles(cx, cy, radius, start, end, !clockwise);
  x_ = cx + radius * std::cos(end);
  y_ = cy + radius * std::sin(end);
}

// Codes 12 and 13: chord (dx, dy) and bulge b; b/127 is the sagitta over half the chord.
void SHXInterpreter::BulgeArc(int dx_byte, int dy_byte, int bulge) {
  const double dx = dx_byte * scale_factor_;
  const double dy = dy_byte * scale_factor_;
  if (bulge == 0) return DrawOrMove(dx, dy);
  // A bulge over an empty chord has no circle (the radius would be 0 / 0): nothing happens.
  if (dx == 0.0 && dy == 0.0) return;
  const double ex = x_ + dx;
  const double ey = y_ + dy;
  const double chord = std::sqrt(dx * dx + dy * dy);
  const double h = chord * std::abs(bulge) / 254.0;
  const double radius = (chord * chord / 4.0 + h * h) / (2.0 * h);
  const double theta = std::atan2(dy, dx);
  const double beta = std::atan2(chord / 2.0, radius - h);
  const double psi = bulge > 0 ? theta + kPi / 2.0 - beta : theta - kPi / 2.0 + beta;
  const double cx = x_ + radius * std::cos(psi);
  const double cy = y_ + radius * std::sin(psi);
  const double start = std::atan2(y_ - cy, x_ - cx);
  const double end = std::atan2(ey - cy, ex - cx);
  EmitArcByAngles(cx, cy, radius, start, end, bulge > 0);
  x_ = ex;
  y_ = ey;
}

void SHXInterpreter::Interpret(const SHXShapeInfo& shape, double start_x, double start_y, double sx,
                               double sy, int depth) {
  active_.push_back(&shape);
  x_ = start_x;
  y_ = start_y;
  vertical_only_ = false;
  pen_down_ = true;
  const std::vector<std::int32_t>& bytes = shape.GetBytes();
  const std::size_t n = bytes.size();
  const SHXFontKind kind = font_.GetKind();
  std::size_t i = 0;
  while (i < n && !refused_) {
    if (++steps_ > kMaxSteps) {
      Refuse();
      break;
    }
    const std::int32_t code = bytes[i];
    // Length of the command with its operands; 0 when the bytes end inside it.
    std::size_t length = 1;
    switch (code) {
      case 3:
      case 4:
        length = 2;
        break;
      case 7:
        length = kind == SHXFontKind::kShapes ? 2 : kind == SHXFontKind::kExtendedBig ? 8 : 3;
        break;
      case 8:
      case 10:
        length = 3;
        break;
      case 11:
        length = 6;
        break;
      case 12:
        length = 4;
        break;
      case 9:
      case 13: {
        // Pairs (code 9) or triples (code 13) up to the pair 0, 0, which is consumed.
        const std::size_t group = code == 9 ? 2 : 3;
        std::size_t j = i + 1;
        length = 0;
        while (j + 1 < n) {
          if (bytes[j] == 0 && bytes[j + 1] == 0) {
            length = j + 2 - i;
            break;
          }
          j += group;
        }
        break;
      }
      default:
        break;
    }
    // A command cut off by the end of the definition ends the shape.
    if (length == 0 || length > n - i) break;
    const std::int32_t* op = &bytes[i + 1];

    if (vertical_only_) {
      // Horizontal text: the command after code 14 is passed over with its operands.
      vertical_only_ = false;
      i += length;
      continue;
    }
    switch (code) {
      case 0:
        break;  // "end" marks nothing here: the bytes after it are still interpreted
      case 1:
        pen_down_ = true;
        break;
      case 2:
        pen_down_ = false;
        FinishPolyLine();
        break;
      case 3:
        // Dividing by 0 would make every later length infinite; the command is ignored.
        if (op[0] != 0) scale_factor_ /= op[0];
        break;
      case 4:
        scale_factor_ *= op[0];
        break;
      case 5:
        // Room for four positions; a push beyond them is ignored.
        if (stack_depth_ < kStackSize) {
          stack_x_[stack_depth_] = x_;
          stack_y_[stack_depth_] = y_;
          ++stack_depth_;
        }
        break;
      case 6:
        --stack_depth_;
        if (stack_depth_ >= 0) {
          x_ = stack_x_[stack_depth_];
          y_ = stack_y_[stack_depth_];
        } else {
          stack_depth_ = 0;
        }
        break;
      case 7: {
        std::int32_t number = 0;
        double sub_x = x_;
        double sub_y = y_;
        double sub_sx = 1.0;
        double sub_sy = 1.0;
        if (kind == SHXFontKind::kShapes) {
          number = op[0];
        } else if (kind == SHXFontKind::kExtendedBig) {
          number = op[1] * 256 + op[2];
          sub_x = op[3];
          sub_y = op[4];
          // Integer division, as the file's units are whole: a width below the character
          // width gives 0.
          sub_sx = static_cast<double>(op[5] / font_.character_width_);
          sub_sy = static_cast<double>(op[6] / font_.character_height_);
        } else {
          number = op[0] * 256 + op[1];
        }
        const SHXShapeInfo* sub = font_.FindShape(number);
        // An unknown subshape, one already on the call chain (a shape calling itself, directly
        // or through others) and one nested too deep are passed over.
        bool cyclic = false;
        for (const SHXShapeInfo* a : active_) cyclic = cyclic || a == sub;
        if (sub != nullptr && !cyclic && depth + 1 <= kMaxSubshapeDepth) {
          Interpret(*sub, sub_x, sub_y, sub_sx, sub_sy, depth + 1);
        }
        break;
      }
      case 8:
        DrawOrMove(Signed(op[0]) * scale_factor_ * sx, Signed(op[1]) * scale_factor_ * sy);
        break;
      case 9:
        for (std::size_t j = 0; j + 3 < length; j += 2) {
          DrawOrMove(Signed(op[j]) * scale_factor_ * sx, Signed(op[j + 1]) * scale_factor_ * sy);
        }
        break;
      case 10:
        OctantArc(op[0], op[1]);
        break;
      case 11:
        FractionalArc(op[0], op[1], op[2] * 256 + op[3], op[4]);
        break;
      case 12:
        BulgeArc(Signed(op[0]), Signed(op[1]), Signed(op[2]));
        break;
      case 13:
        for (std::size_t j = 0; j + 3 < length; j += 3) {
          BulgeArc(Signed(op[j]), Signed(op[j + 1]), Signed(op[j + 2]));
        }
        break;
      case 14:
        vertical_only_ = true;
        break;
      case 15:
        break;
      default: {
        const Step& step = VectorSteps()[code & 15];
        const double len = code >> 4;
        DrawOrMove(len * step.c * sx * scale_factor_, len * step.s * sy * scale_factor_);
        break;
      }
    }
    i += length;
  }
  FinishPolyLine();
  active_.pop_back();
}

}  // namespace vuzodo
