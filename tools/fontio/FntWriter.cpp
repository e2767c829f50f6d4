#include "FntWriter.h"

#include <charconv>
#include <initializer_list>
#include <string>

namespace vuzodo_fontio {

namespace {

// Appends numbers as text without temporary strings: floats in their shortest form that reads
// back as the same float ("7.4", "3", "-0.25").
template <typename T>
void Append(std::string& out, T value) {
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  out.append(buffer, result.ptr);
}

// "head a,b" or "head a,b,c,d", with its line feed.
template <typename T>
void Line(std::string& out, const char* head, std::initializer_list<T> values) {
  out += head;
  const char* separator = " ";
  for (T v : values) {
    out += separator;
    Append(out, v);
    separator = ",";
  }
  out += '\n';
}

}  // namespace

std::string FntGlyphFromRecords(const RecordGlyph& glyph) {
  std::string out = "def ";
  Append(out, glyph.code);
  out += '\n';
  const std::vector<int>& r = glyph.records;
  long x = 0, y = 0;
  for (std::size_t p = 0; p < r.size();) {
    const int length = RecordLength(r[p]);
    if (length == 0 || p + length > r.size()) break;
    const int dx = r[p + 1], dy = r[p + 2];
    switch (r[p]) {
      case kMove:
        if (dx != 0 || dy != 0) Line(out, "m", {dx, dy});
        break;
      case kDraw:
        Line(out, "d", {dx, dy});
        break;
      case kDot:
        Line(out, "point", {dx, dy});
        break;
      case kArc:
        Line(out, "a", {dx, dy, r[p + 3], r[p + 4]});
        break;
    }
    x += dx;
    y += dy;
    p += length;
  }
  // The advance keeps its fraction (the interface reports it as a float): rounded, it would
  // put every following character of a text up to half a unit further off.
  const float dx = static_cast<float>(glyph.advance - static_cast<double>(x));
  if (dx != 0.0f || y != 0) Line(out, "m", {dx, static_cast<float>(-y)});
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
