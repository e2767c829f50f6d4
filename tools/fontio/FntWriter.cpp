#include "FntWriter.h"

#include <charconv>
#include <string>

namespace vuzodo_fontio {

namespace {

// The shortest text that reads back as the same float ("7.4", "3", "-0.25").
std::string Number(float v) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string FntGlyphFromRecords(const RecordGlyph& glyph) {
  std::string out = "def " + std::to_string(glyph.code) + "\n";
  const auto pair = [](long a, long b) { return std::to_string(a) + "," + std::to_string(b); };
  const std::vector<int>& r = glyph.records;
  long x = 0, y = 0;
  for (std::size_t p = 0; p < r.size();) {
    const int length = RecordLength(r[p]);
    if (length == 0 || p + length > r.size()) break;
    const int dx = r[p + 1], dy = r[p + 2];
    switch (r[p]) {
      case kMove:
        if (dx != 0 || dy != 0) out += "m " + pair(dx, dy) + "\n";
        break;
      case kDraw:
        out += "d " + pair(dx, dy) + "\n";
        break;
      case kDot:
        out += "point " + pair(dx, dy) + "\n";
        break;
      case kArc:
        out += "a " + pair(dx, dy) + "," + pair(r[p + 3], r[p + 4]) + "\n";
        break;
    }
    x += dx;
    y += dy;
    p += length;
  }
  // The advance keeps its fraction (the interface reports it as a float): rounded, it would
  // put every following character of a text up to half a unit further off.
  const float dx = static_cast<float>(glyph.advance - static_cast<double>(x));
  if (dx != 0.0f || y != 0) out += "m " + Number(dx) + "," + std::to_string(-y) + "\n";
  return out;
}

std::string WriteFnt(const std::vector<RecordGlyph>& glyphs) {
  std::string out;
  for (std::size_t i = 0; i < glyphs.size(); ++i) {
    if (i) out += "\n";
    out += FntGlyphFromRecords(glyphs[i]);
  }
  return out;
}

}  // namespace vuzodo_fontio
