// The estimate of a job: lengths, pen lifts and time under a simple motion model.
//
// Each stroke is one move at the marking speed and each pen-up travel one move at the travel
// speed. A move starts and ends at rest and follows a trapezoid: it speeds up at the
// acceleration, cruises, and slows down at the same rate; a move too short to reach its speed
// is a triangle. Corners inside a stroke are taken without slowing. After every stroke the pen
// lifts (the laser switches off), which costs the lift time; a dot also waits kDotDwell.
#include <cmath>
#include <cstdio>

#include "Machine.h"
#include "Order.h"
#include "Output.h"

namespace vuzodo_cli {
namespace {

// Seconds a move of `length` mm takes from rest to rest at `speed` mm/s and `accel` mm/s^2.
double MoveTime(double length, double speed, double accel) {
  if (length <= 0) return 0;
  // Speeding up to `speed` and slowing down again covers speed^2 / accel.
  if (length >= speed * speed / accel) return length / speed + speed / accel;
  return 2 * std::sqrt(length / accel);
}

// The length of a stroke, its arcs along the circle.
double StrokeLength(const Stroke& s) {
  double length = 0;
  Segments(s, [&](double x0, double y0, double x1, double y1, double b) {
    const double chord = std::hypot(x1 - x0, y1 - y0);
    // The arc turns by 4 atan(b); chord = 2 r sin(turn / 2).
    const double half = 2 * std::atan(std::abs(b));
    length += b == 0 || half == 0 ? chord : chord * half / std::sin(half);
  });
  return length;
}

}  // namespace

Estimate EstimateJob(const Job& job, const Machine& m) {
  Estimate e;
  double x = job.start_x, y = job.start_y;
  auto travel = [&](double to_x, double to_y) {
    const double d = std::hypot(to_x - x, to_y - y);
    e.travel += d;
    e.seconds += MoveTime(d, m.travel_feed / 60, m.accel);
    x = to_x;
    y = to_y;
  };
  for (const Stroke& s : job.strokes) {
    travel(s.x[0], s.y[0]);
    const double length = StrokeLength(s);
    e.marking += length;
    e.seconds += MoveTime(length, m.feed / 60, m.accel) + m.lift_time;
    if (s.x.size() == 1) e.seconds += kDotDwell;
    ++e.lifts;
    if (!s.closed) {
      x = s.x.back();
      y = s.y.back();
    }
  }
  travel(job.end_x, job.end_y);
  return e;
}

std::string EstimateLine(const Estimate& e, const Machine& m) {
  const long whole = std::lround(e.seconds);
  char clock[32];
  if (whole >= 3600) {
    std::snprintf(clock, sizeof clock, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60,
                  whole % 60);
  } else {
    std::snprintf(clock, sizeof clock, "%ld:%02ld", whole / 60, whole % 60);
  }
  char line[256];
  std::snprintf(line, sizeof line,
                "marking %.3f mm, travel %.3f mm, %d pen lifts, %.3f s (%s) at %s", e.marking,
                e.travel, e.lifts, e.seconds, clock, m.name.c_str());
  return line;
}

int PrintEstimate(const OutputOptions& o) {
  Machine m;
  if (const std::string error = ResolveMachine(o.machine, "", m); !error.empty()) {
    std::fprintf(stderr, "vuzodo: %s\n", error.c_str());
    return 1;
  }
  Layers fetched;
  Job job = MakeJob(StreamsOf(o, fetched), o);
  OrderJob(job, o.order);
  std::printf("%s\n", EstimateLine(EstimateJob(job, m), m).c_str());
  return 0;
}

}  // namespace vuzodo_cli
