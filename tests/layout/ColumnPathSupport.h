// Helpers of the column and path layout tests: appends, arrays and their
// drawn points, as a host reads them through the interface.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "TTFLoader.h"
#include "vuzodo/vuzodo.h"

namespace column_path {

inline int Append(const std::u16string& text, bool ex = true) {
  std::u16string copy = text;
  auto* p = reinterpret_cast<unsigned short*>(copy.data());
  return ex ? AppendCharactersEx(p) : AppendCharacters(p);
}

inline vuzodo::FontDataHolder* Font() {
  return vuzodo::TTFLoader::Instance().LoadFont(u"Arial", 0);
}

// Metrics of one character of "Arial" (Liberation Sans), output units.
inline vuzodo::CharMetrics Metrics(char16_t code) {
  return vuzodo::TTFLoader::Instance().LoadCharacter(Font(), code)->GetMetrics();
}

inline std::vector<CursorPosition> Carets() {
  CursorPosition* data = nullptr;
  int count = 0;
  float top = 0;
  GetMultilineCaretPositionData(&data, &count, &top);
  std::vector<CursorPosition> out(data, data + count);
  DeleteCaretData(reinterpret_cast<float*>(data));
  return out;
}

// The whole text (index -1) or one character, as the host gets it.
inline std::vector<int> Array(int index = -1, EN_ReturnType type = EN_RT_BORDER,
                              float* box = nullptr) {
  int* data = nullptr;
  const int n = GetOutLinesEx(index, type, &data, box);
  std::vector<int> out(data, data + n);
  DeleteTTFData(data);
  return out;
}

struct Point {
  long x = 0, y = 0;
  int code = 0;
};

// The absolute end point of every draw and arc record, pen walked from (0, 0).
inline std::vector<Point> Drawn(const std::vector<int>& a) {
  std::vector<Point> out;
  long x = 0, y = 0;
  for (size_t p = 0; p + 2 < a.size();) {
    const int code = a[p];
    x += a[p + 1];
    y += a[p + 2];
    if (code == 41 || code == 42) out.push_back(Point{x, y, code});
    p += code == 42 ? 5 : 3;
  }
  return out;
}

// Sum of all relative moves of an array: a whole text returns to its origin.
inline std::pair<long, long> PenSum(const std::vector<int>& a) {
  long sx = 0, sy = 0;
  for (size_t p = 0; p + 2 < a.size();) {
    sx += a[p + 1];
    sy += a[p + 2];
    p += a[p] == 42 ? 5 : 3;
  }
  return {sx, sy};
}

struct Extent {
  double min_x = 1e300, max_x = -1e300, min_y = 1e300, max_y = -1e300;
  double CentreX() const { return (min_x + max_x) / 2; }
  double CentreY() const { return (min_y + max_y) / 2; }
};

inline Extent ExtentOf(const std::vector<Point>& points) {
  Extent e;
  for (const Point& p : points) {
    e.min_x = std::min<double>(e.min_x, p.x);
    e.max_x = std::max<double>(e.max_x, p.x);
    e.min_y = std::min<double>(e.min_y, p.y);
    e.max_y = std::max<double>(e.max_y, p.y);
  }
  return e;
}

}  // namespace column_path
