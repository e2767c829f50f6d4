#include "RecordGlyph.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "ArcGeometry.h"

namespace vuzodo_fontio {

int RecordLength(int code) {
  switch (code) {
    case kMove:
    case kDraw:
    case kDot:
      return 3;
    case kArc:
      return 5;
    default:
      return 0;
  }
}

namespace {

struct BoxGrower {
  InkBox box{1e300, 1e300, -1e300, -1e300};
  bool empty = true;
  void Add(double x, double y) {
    box.min_x = std::min(box.min_x, x);
    box.min_y = std::min(box.min_y, y);
    box.max_x = std::max(box.max_x, x);
    box.max_y = std::max(box.max_y, y);
    empty = false;
  }
};

}  // namespace

std::optional<InkBox> RecordInkBox(const std::vector<int>& records) {
  BoxGrower grow;
  double x = 0, y = 0;
  for (std::size_t p = 0; p < records.size();) {
    const int length = RecordLength(records[p]);
    if (length == 0 || p + length > records.size()) break;
    const int code = records[p];
    const double nx = x + records[p + 1], ny = y + records[p + 2];
    if (code == kDraw) {
      grow.Add(x, y);
      grow.Add(nx, ny);
    } else if (code == kDot) {
      grow.Add(nx, ny);
    } else if (code == kArc) {
      const RecordArc arc =
          ArcFromRecord(x, y, records[p + 1], records[p + 2], records[p + 3], records[p + 4]);
      grow.Add(x, y);
      grow.Add(nx, ny);
      // Axis points (multiples of a quarter turn) inside the swept range.
      const double lo = std::min(arc.start, arc.start + arc.sweep);
      const double hi = std::max(arc.start, arc.start + arc.sweep);
      const double q = std::numbers::pi / 2;
      for (double k = std::ceil(lo / q); k * q <= hi; k += 1) {
        grow.Add(arc.cx + arc.radius * std::cos(k * q), arc.cy + arc.radius * std::sin(k * q));
      }
    }
    x = nx;
    y = ny;
    p += length;
  }
  if (grow.empty) return std::nullopt;
  return grow.box;
}

void RecordPenEnd(const std::vector<int>& records, long& x, long& y) {
  x = 0;
  y = 0;
  for (std::size_t p = 0; p < records.size();) {
    const int length = RecordLength(records[p]);
    if (length == 0 || p + length > records.size()) break;
    x += records[p + 1];
    y += records[p + 2];
    p += length;
  }
}

}  // namespace vuzodo_fontio
