// What the drawing writers (SVG, DXF, PNG, JSON) share: the records walked as chains, a survey
// of what they draw, where the anchor puts it, and one buffered file for their text.
#pragma once

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "Output.h"

namespace vuzodo_cli {

// The bulge of an arc record from (x, y) to (nx, ny) around (cx, cy): the turn is the shorter
// one in the direction the cross product gives.
inline double ArcBulge(double x, double y, double nx, double ny, double cx, double cy) {
  const double cross = (x - cx) * (ny - cy) - (y - cy) * (nx - cx);
  double turn = std::atan2(ny - cy, nx - cx) - std::atan2(y - cy, x - cx);
  if (cross >= 0) {
    while (turn <= 0) turn += 2 * std::numbers::pi;
  } else {
    while (turn >= 0) turn -= 2 * std::numbers::pi;
  }
  return std::tan(turn / 4);
}

// Walks the records in absolute coordinates (output units): `segment(x0, y0, x1, y1, bulge)`
// for each straight or arc segment (bulge as in Stroke, 0 for a straight one), `cut()` where
// a chain ends (a move that goes somewhere, a dot, an unknown code, the end), `dot(x, y)` for
// each point. A move that stays put lifts no pen: the next segment starts where this one
// ended, so both are one chain (one polyline for a plotter, one entity in a drawing).
template <typename OnSegment, typename OnCut, typename OnDot>
void WalkRecords(std::span<const int> a, OnSegment segment, OnCut cut, OnDot dot) {
  double x = 0, y = 0;
  for (size_t p = 0; p + 2 < a.size() && a[p] != -1;) {
    const int code = a[p];
    const double nx = x + a[p + 1], ny = y + a[p + 2];
    if (code == 41) {
      segment(x, y, nx, ny, 0.0);
    } else if (code == 42 && p + 4 < a.size() && (nx != x || ny != y)) {
      segment(x, y, nx, ny, ArcBulge(x, y, nx, ny, x + a[p + 3], y + a[p + 4]));
    } else if (code != 42 && !(code == 40 && nx == x && ny == y)) {
      cut();
      if (code == 466) dot(nx, ny);
    }
    x = nx;
    y = ny;
    p += code == 42 ? 5 : 3;
  }
  cut();
}

// The records as chains: `stroke(const Stroke&)` for each chain once it ends, `dot(x, y)` for
// each point. One Stroke is refilled for every chain, so a writer holds one chain at a time,
// never the whole drawing.
template <typename OnStroke, typename OnDot>
void WalkStrokes(std::span<const int> a, OnStroke stroke, OnDot dot) {
  Stroke s;
  bool open = false;  // s is the chain the next segment extends
  WalkRecords(
      a,
      [&](double x0, double y0, double x1, double y1, double bulge) {
        if (!open) {
          open = true;
          s.x.assign(1, x0);
          s.y.assign(1, y0);
          s.bulge.assign(1, 0.0);
          s.closed = false;
        }
        s.bulge.back() = bulge;
        s.x.push_back(x1);
        s.y.push_back(y1);
        s.bulge.push_back(0);
      },
      [&] {
        if (!open) return;
        open = false;
        if (s.x.size() > 2 && s.x.front() == s.x.back() && s.y.front() == s.y.back()) {
          s.closed = true;
          s.x.pop_back();
          s.y.pop_back();
        } else {
          s.bulge.back() = 0;  // no segment leaves the last point
        }
        stroke(static_cast<const Stroke&>(s));
      },
      dot);
}

struct Bounds {
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  void Widen(double x, double y, double r = 0) {
    x0 = std::min(x0, x - r), x1 = std::max(x1, x + r);
    y0 = std::min(y0, y - r), y1 = std::max(y1, y + r);
  }
  // Arcs by their whole circle (a margin, not a tight fit).
  void Widen(const Stroke& s) {
    Segments(s, [&](double x0, double y0, double x1, double y1, double bulge) {
      Widen(x0, y0);
      Widen(x1, y1);
      if (bulge != 0) {
        const BulgeCircle a = ArcOfBulge(x0, y0, x1, y1, bulge);
        Widen(a.cx, a.cy, a.radius);
      }
    });
    if (s.x.size() == 1) Widen(s.x[0], s.y[0]);
  }
  bool Empty() const { return x0 > x1; }
};

// The same from the records, with how many chains (cut as WalkStrokes cuts them) and dots
// each stream draws: a walk writers make before their own, so that nothing drawn has to be
// kept for a second look. It reads the records without building the chains.
struct Survey {
  Bounds bounds;
  size_t strokes[3] = {0, 0, 0};
  size_t dots[3] = {0, 0, 0};
};
Survey SurveyOf(const Layers& layers);

// What the anchor adds to every coordinate, output units. Only the anchors other than the
// baseline measure the drawing (`b`).
std::pair<double, double> AnchorShift(const OutputOptions& o, const Bounds& b);

// SVG's y runs down; 0 stays 0 rather than -0.
inline double Down(double y) {
  return 0.0 - y;
}

inline constexpr const char* kColours[3] = {"#000000", "#d91a1a",
                                            "#1a33e6"};  // outline, fill, hatch

// "00", "01", ... "99": whole numbers are written two digits a step.
inline constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (int i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// Writes the decimal digits of u at p; returns the end.
inline char* WriteDigits(char* p, unsigned long long u) {
  char text[20];
  char* end = text + sizeof text;
  char* d = end;
  for (; u >= 100; u /= 100) {
    d -= 2;
    std::memcpy(d, &kDigitPairs[2 * (u % 100)], 2);
  }
  if (u >= 10) {
    d -= 2;
    std::memcpy(d, &kDigitPairs[2 * u], 2);
  } else {
    *--d = static_cast<char>('0' + u);
  }
  while (d < end) *p++ = *d++;
  return p;
}

// Whether v is a whole number that a long long holds exactly.
inline bool Whole(double v) {
  return std::abs(v) < 1e15 && static_cast<double>(static_cast<long long>(v)) == v;
}

// A file written through one large buffer. Large drawings are millions of short numbers; an
// ostream's locale and sentry work for each of them took most of the writers' time.
class FileOut {
 public:
  explicit FileOut(const std::string& path)
      : file_(std::fopen(path.c_str(), "wb")), error_(file_ ? "" : std::strerror(errno)) {}
  ~FileOut() {
    if (file_ != nullptr) std::fclose(file_);
  }
  FileOut(const FileOut&) = delete;
  FileOut& operator=(const FileOut&) = delete;

  bool Failed() const { return !error_.empty(); }

  void Put(std::string_view text) {
    if (used_ + text.size() > kSize) Drain();
    if (text.size() > kSize) {
      Write(text.data(), text.size());
      return;
    }
    std::memcpy(buffer_.get() + used_, text.data(), text.size());
    used_ += text.size();
  }
  // Literals: the copy of a known length is inlined.
  template <size_t N>
  void Put(const char (&text)[N]) {
    if (used_ + N > kSize) Drain();
    std::memcpy(buffer_.get() + used_, text, N - 1);
    used_ += N - 1;
  }
  void Put(char c) {
    if (used_ == kSize) Drain();
    buffer_[used_++] = c;
  }
  void Int(long long value) {
    if (used_ + kNumber > kSize) Drain();
    char* p = buffer_.get() + used_;
    if (value < 0) *p++ = '-';
    p = WriteDigits(p, value < 0 ? 0 - static_cast<unsigned long long>(value) : value);
    used_ = p - buffer_.get();
  }
  // The shortest decimal that reads back as the same double, without an exponent; with
  // `point`, always with a decimal point.
  void Real(double value, bool point = false) {
    if (Whole(value)) {  // most of a drawing: quicker
      Int(static_cast<long long>(value));
      if (point) Put(".0");
      return;
    }
    if (used_ + kNumber > kSize) Drain();
    char* text = buffer_.get() + used_;
    const auto end = std::to_chars(text, text + kNumber - 2, value, std::chars_format::fixed);
    char* last = end.ec == std::errc() ? end.ptr : text;
    if (last == text) {  // too long for fixed notation: far outside any drawing
      last = text + std::snprintf(text, kNumber, "%.17g", value);
    } else if (point && std::find(text, last, '.') == last) {
      *last++ = '.';
      *last++ = '0';
    }
    used_ = last - buffer_.get();
  }

  // Upper-case hexadecimal, as DXF handles are written.
  void Hex(unsigned long value) {
    if (used_ + kNumber > kSize) Drain();
    char text[16];
    char* d = text + sizeof text;
    do {
      *--d = "0123456789ABCDEF"[value & 15];
      value >>= 4;
    } while (value != 0);
    char* p = buffer_.get() + used_;
    while (d < text + sizeof text) *p++ = *d++;
    used_ = p - buffer_.get();
  }

  // To a thousandth, trailing zeros and point dropped: a drawing's output units, where the
  // records' grid is 1 and a radius from a bulge comes back as 500.00000000000006.
  void Thousandths(double value) {
    if (Whole(value)) return Int(static_cast<long long>(value));
    if (used_ + kNumber > kSize) Drain();
    char* text = buffer_.get() + used_;
    const auto end = std::to_chars(text, text + kNumber, value, std::chars_format::fixed, 3);
    if (end.ec != std::errc()) return Real(value);  // far outside any drawing
    char* last = end.ptr;
    while (last[-1] == '0') --last;
    if (last[-1] == '.') --last;
    if (last - text == 2 && text[0] == '-' && text[1] == '0') {  // no "-0"
      text[0] = '0';
      --last;
    }
    used_ = last - buffer_.get();
  }

  // whole / 10^places as Real writes the double nearest to it, with a point: with at most 15
  // digits the decimal itself is that double's shortest form. Needs |whole| < 10^15.
  void Decimal(long long whole, int places) {
    static constexpr unsigned long long kScale[10] = {
        1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};
    if (used_ + kNumber > kSize) Drain();
    char* p = buffer_.get() + used_;
    const unsigned long long magnitude =
        whole < 0 ? 0 - static_cast<unsigned long long>(whole) : whole;
    if (whole < 0) *p++ = '-';
    p = WriteDigits(p, magnitude / kScale[places]);
    *p++ = '.';
    unsigned long long rest = magnitude % kScale[places];
    int digits = places;
    if (rest == 0) {
      *p++ = '0';
      digits = 0;
    }
    for (; digits > 0 && rest % 10 == 0; --digits) rest /= 10;  // trailing zeros left out
    for (int i = digits - 1; i >= 0; --i, rest /= 10) p[i] = static_cast<char>('0' + rest % 10);
    used_ = p + digits - buffer_.get();
  }

  // "" once everything reached the file, else why not.
  std::string Close() {
    Drain();
    if (file_ != nullptr && std::fclose(file_) != 0 && error_.empty())
      error_ = std::strerror(errno);
    file_ = nullptr;
    return error_;
  }

 private:
  static constexpr size_t kSize = 1 << 20;
  static constexpr size_t kNumber = 64;  // room a number may take
  void Write(const char* data, size_t size) {
    if (file_ != nullptr && error_.empty() && std::fwrite(data, 1, size, file_) != size) {
      error_ = std::strerror(errno);
    }
  }
  void Drain() {
    Write(buffer_.get(), used_);
    used_ = 0;
  }
  std::FILE* file_;
  std::string error_;
  std::unique_ptr<char[]> buffer_ = std::make_unique<char[]>(kSize);
  size_t used_ = 0;
};

// The strokes a drawing writer walks: the records as they come, or with --optimize their chains
// reordered for a short travel, each stream on its own as a plotter draws one layer per pen.
// Only a reordered drawing is held whole; a plain one is written as it is walked.
class StrokeSource {
 public:
  // (sx, sy): what the anchor adds to the drawing's coordinates.
  StrokeSource(const Layers& layers, const OutputOptions& o, double sx, double sy);

  // stroke(const Stroke&) for each chain of stream k and dot(x, y) for each of its points.
  template <typename OnStroke, typename OnDot>
  void Walk(int k, OnStroke stroke, OnDot dot) const {
    if (!ordered_) {
      WalkStrokes(streams_[k], stroke, dot);
      return;
    }
    for (const Stroke& s : drawing_[k].strokes) stroke(s);
    for (const auto& [x, y] : drawing_[k].dots) dot(x, y);
  }

 private:
  std::span<const int> streams_[3];
  bool ordered_;
  Geometry drawing_[3];
};

}  // namespace vuzodo_cli
