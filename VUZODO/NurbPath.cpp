#include "NurbPath.h"

#include <algorithm>
#include <cmath>

namespace vuzodo {

namespace {

// Knot span of u (The NURBS Book, A2.1) with n = m - p - 1. The plain search
// would loop for ever below the first span, so such u takes the first span.
int FindSpan(int n, int p, float u, const float* U) {
  if (u >= U[n + 1]) return n;
  if (u <= U[p]) return p;
  int low = p, high = n + 1;
  int mid = (low + high) / 2;
  while (u < U[mid] || u >= U[mid + 1]) {
    if (u < U[mid]) {
      high = mid;
    } else {
      low = mid;
    }
    mid = (low + high) / 2;
  }
  return mid;
}

// The p + 1 non-zero basis functions at u (A2.2), in single precision.
void BasisFunctions(int i, float u, int p, const float* U, std::vector<float>& N) {
  std::vector<float> left(p + 1), right(p + 1);
  N.assign(p + 1, 0.0f);
  N[0] = 1.0f;
  for (int j = 1; j <= p; ++j) {
    left[j] = u - U[i + 1 - j];
    right[j] = U[i + j] - u;
    float saved = 0.0f;
    for (int r = 0; r < j; ++r) {
      // An empty knot span contributes nothing (0/0 taken as 0).
      const float denominator = right[r + 1] + left[j - r];
      const float temp = denominator != 0.0f ? N[r] / denominator : 0.0f;
      N[r] = saved + right[r + 1] * temp;
      saved = left[j - r] * temp;
    }
    N[j] = saved;
  }
}

// Weights all of one sign and none zero, coordinates finite, knots finite
// and non-decreasing with a domain [U[p], U[n + 1]] of positive length.
// The basis functions are never negative and sum to 1 inside the domain, so
// the weight sum of a sample lies between the smallest and the largest weight
// and cannot be 0; all-negative weights give the same points as their
// positive counterparts (numerator and sum change sign together). Weights of
// both signs or a zero weight can make the sum 0 and a sample infinite, and
// knots that decrease can keep the span search from ending.
bool ValidNurbsData(int degree, int count, const float* xw, const float* yw, const float* w,
                    int knot_count, const float* knots) {
  const bool negative = w[0] < 0.0f;
  for (int i = 0; i < count; ++i) {
    if (!std::isfinite(w[i]) || !std::isfinite(xw[i]) || !std::isfinite(yw[i])) return false;
    if (w[i] == 0.0f || (w[i] < 0.0f) != negative) return false;
  }
  for (int i = 0; i < knot_count; ++i) {
    if (!std::isfinite(knots[i])) return false;
    if (i > 0 && knots[i] < knots[i - 1]) return false;
  }
  return knots[degree] < knots[knot_count - degree - 1];
}

}  // namespace

std::unique_ptr<NurbPath> NurbPath::FromNurbs(int degree, int count, const float* xw,
                                              const float* yw, const float* w, int knot_count,
                                              const float* knots, bool flip) {
  if (!ValidNurbs(degree, count, knot_count) || xw == nullptr || yw == nullptr || w == nullptr ||
      knots == nullptr || !ValidNurbsData(degree, count, xw, yw, w, knot_count, knots)) {
    return nullptr;
  }
  auto path = std::unique_ptr<NurbPath>(new NurbPath());
  path->step_ = 0.1 / count;
  const int samples = static_cast<int>(1.0 / path->step_) + 1;
  const int m = knot_count - 1;
  const int p = degree;
  const int n = m - p - 1;
  std::vector<float> N;
  path->samples_.reserve(samples);
  for (int k = 0; k < samples; ++k) {
    const float u = static_cast<float>(k * (knots[m] * path->step_));
    const int span = FindSpan(n, p, u, knots);
    BasisFunctions(span, u, p, knots, N);
    float sx = 0.0f, sy = 0.0f, sw = 0.0f;
    for (int j = 0; j <= p; ++j) {
      const int c = span - p + j;
      sx += N[j] * xw[c];
      sy += N[j] * yw[c];
      sw += N[j] * w[c];
    }
    // A parameter that falls into an empty knot span has no basis to weigh
    // (weight sum 0); such a curve is refused rather than divided by zero.
    if (sw == 0.0f) return nullptr;
    const float x = sx / sw, y = sy / sw;
    if (!std::isfinite(x) || !std::isfinite(y)) return nullptr;
    path->samples_.push_back(PathSample{x, y, 0.0, 0.0});
  }
  if (flip) std::reverse(path->samples_.begin(), path->samples_.end());
  path->ComputeLengths();
  return path;
}

std::unique_ptr<NurbPath> NurbPath::FromPolyline(const float* points, int n, double unit,
                                                 bool flip) {
  if (points == nullptr || n / 2 < 2) return nullptr;
  auto path = std::unique_ptr<NurbPath>(new NurbPath());
  path->samples_.reserve(n / 2);
  for (int k = 0; k < n / 2; ++k) {
    const double x = unit * points[2 * k], y = unit * points[2 * k + 1];
    if (!std::isfinite(x) || !std::isfinite(y)) return nullptr;
    path->samples_.push_back(PathSample{x, y, 0.0, 0.0});
  }
  if (flip) std::reverse(path->samples_.begin(), path->samples_.end());
  path->ComputeLengths();
  return path;
}

void NurbPath::ComputeLengths() {
  if (samples_.empty()) return;
  samples_[0].s = 0.0;
  for (size_t k = 1; k < samples_.size(); ++k) {
    const double dx = samples_[k].x - samples_[k - 1].x;
    const double dy = samples_[k].y - samples_[k - 1].y;
    // The sum of squares is rounded to float before the root.
    samples_[k].s = samples_[k - 1].s + std::sqrt(static_cast<float>(dx * dx + dy * dy));
    samples_[k].theta = std::atan2(dy, dx);
  }
}

void NurbPath::Reverse() {
  std::reverse(samples_.begin(), samples_.end());
  ComputeLengths();
}

size_t NurbPath::SegmentAt(float s) const {
  size_t low = 1, high = samples_.size() - 1;
  while (low < high) {
    const size_t mid = (low + high) / 2;
    if (static_cast<float>(samples_[mid].s) <= s) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

bool NurbPath::PointAtLength(float s, float w, double& x, double& y, double& theta) const {
  if (samples_.size() < 2) return false;
  if (s + w > static_cast<float>(TotalLength())) return false;
  const size_t k = SegmentAt(s);
  const PathSample& a = samples_[k - 1];
  const PathSample& b = samples_[k];
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double len = std::sqrt(dx * dx + dy * dy);
  // A zero-length segment (repeated point) has no inside: take its start.
  const double t = len > 0.0 ? (s - a.s) / len : 0.0;
  x = a.x + t * dx;
  y = a.y + t * dy;
  theta = b.theta;
  return true;
}

double NurbPath::AngleAtLength(float s) const {
  if (samples_.size() < 2) return 0.0;
  if (s > static_cast<float>(TotalLength())) return 0.0;
  return samples_[SegmentAt(s)].theta;
}

NurbPath::CircleNurbs NurbPath::Circle(float r, float cx, float cy, float a, bool clockwise) {
  CircleNurbs c{{}, {}, {}, {0, 0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1, 1}};
  const float inv_sqrt2 = 1.0f / std::sqrt(2.0f);
  const float s = clockwise ? 1.0f : -1.0f;  // y of the second control point's side
  const float px[9] = {-r, -r, 0, r, r, r, 0, -r, -r};
  const float py[9] = {0, s * r, s * r, s * r, 0, -s * r, -s * r, -s * r, 0};
  const double ca = std::cos(a), sa = std::sin(a);
  for (int i = 0; i < 9; ++i) {
    c.w[i] = (i % 2 == 1) ? inv_sqrt2 : 1.0f;
    double rx, ry;
    if (clockwise) {
      rx = px[i] * ca + py[i] * sa + cx;
      ry = -px[i] * sa + py[i] * ca + cy;
    } else {
      rx = px[i] * ca - py[i] * sa + cx;
      ry = px[i] * sa + py[i] * ca + cy;
    }
    c.xw[i] = static_cast<float>(rx * c.w[i]);
    c.yw[i] = static_cast<float>(ry * c.w[i]);
  }
  return c;
}

}  // namespace vuzodo
