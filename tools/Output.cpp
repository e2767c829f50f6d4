// SVG, DXF, PNG and JSON writers of the render and replay commands.
#include "Output.h"

#include <cairo.h>
#include <dxflib/dl_dxf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>
#include <string_view>
#include <tuple>

#include "Order.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {

namespace fs = std::filesystem;

// The engine's array of one stream, kept as it is; the span covers its `count` ints.
std::span<const int> Fetch(EN_ReturnType type, float* box, std::unique_ptr<int, FreeRecords>& own) {
  int* data = nullptr;
  const int count = GetMultilineOutLines(-1, type, &data, box);
  own.reset(data);
  return data == nullptr ? std::span<const int>() : std::span<const int>(data, std::max(count, 0));
}

}  // namespace

void FreeRecords::operator()(int* data) const {
  DeleteTTFData(data);
}

Layers FetchLayers() {
  Layers layers;
  float ignored[8];
  layers.outline = Fetch(EN_RT_BORDER, layers.box, layers.owned[0]);
  layers.fill = Fetch(EN_RT_FILL, ignored, layers.owned[1]);
  layers.hatch = Fetch(EN_RT_HATCH_POLYLINES, ignored, layers.owned[2]);
  return layers;
}

void Guide::Widen(double x, double y) {
  min_x = std::min(min_x, x);
  max_x = std::max(max_x, x);
  min_y = std::min(min_y, y);
  max_y = std::max(max_y, y);
}

void Guide::Polyline(const std::vector<std::pair<double, double>>& points) {
  std::ostringstream out;
  out << "<polyline fill=\"none\" stroke=\"#aaa\" stroke-width=\"12\" points=\"";
  for (auto [x, y] : points) {
    out << x << "," << -y << " ";
    Widen(x, y);
  }
  out << "\"/>\n";
  // A dot at the start shows where the path begins.
  if (!points.empty()) {
    out << "<circle fill=\"#e44\" cx=\"" << points[0].first << "\" cy=\"" << -points[0].second
        << "\" r=\"60\"/>\n";
  }
  svg += out.str();
}

std::string ParseUserUnit(const std::string& text, double& length, std::string& name) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  const std::string suffix = end == text.c_str() ? "" : end;
  if (end == text.c_str() || !std::isfinite(v) || !(v > 0)) {
    return "'" + text + "' is not a length greater than 0 (e.g. 1mm, 0.1in)";
  }
  const std::string unit = suffix.empty() ? "mm" : suffix;
  if (unit != "mm" && unit != "cm" && unit != "m" && unit != "in") {
    return "'" + suffix + "' is not a unit: mm, cm, m or in";
  }
  length = v;
  name = unit;
  return "";
}

int WriteAtomically(const std::string& path,
                    const std::function<std::string(const std::string& temp)>& write) {
  // Standard output: the drawing is written whole first, so a failure sends nothing.
  const bool to_stdout = path == "-";
  // The temporary lives beside the target so that the rename stays on one file system.
  std::string temp =
      to_stdout ? (fs::temp_directory_path() / "vuzodo-XXXXXX").string() : path + ".XXXXXX";
  const int fd = mkstemp(temp.data());
  if (fd < 0) {
    std::fprintf(stderr, "vuzodo: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
    return 1;
  }
  // mkstemp makes the file private; the drawing gets the permissions a new file would.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  close(fd);
  std::string error = write(temp);
  if (error.empty() && to_stdout) {
    std::ifstream in(temp, std::ios::binary);
    std::fflush(stdout);
    char buffer[1 << 16];
    while (error.empty() && in.read(buffer, sizeof buffer).gcount() > 0) {
      const auto n = static_cast<size_t>(in.gcount());
      if (std::fwrite(buffer, 1, n, stdout) != n) error = std::strerror(errno);
    }
    if (error.empty() && std::fflush(stdout) != 0) error = std::strerror(errno);
    std::remove(temp.c_str());
  } else if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0) {
    error = std::strerror(errno);
  }
  if (!error.empty()) {
    std::remove(temp.c_str());
    std::fprintf(stderr, "vuzodo: cannot write %s: %s\n",
                 to_stdout ? "standard output" : path.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

std::string OutputFormat(const std::string& path, const OutputOptions& o) {
  if (!o.format.empty()) return o.format;
  for (const char* f : {"dxf", "png", "json", "gcode", "hpgl"}) {
    if (path.ends_with(std::string(".") + f)) return f;
  }
  if (path.ends_with(".nc")) return "gcode";
  if (path.ends_with(".plt")) return "hpgl";
  return "svg";
}

const Layers& StreamsOf(const OutputOptions& o, Layers& fetched) {
  if (o.layers) return *o.layers;
  fetched = FetchLayers();
  return fetched;
}

void Layers::Keep(int k, std::vector<int> records) {
  kept[k] = std::move(records);
  std::span<const int>* streams[3] = {&outline, &fill, &hatch};
  *streams[k] = kept[k];
  owned[k].reset();
}

namespace {

// Why --optimize, --start or --end do not fit `format`, or "".
std::string OrderMisfit(const std::string& format, const OrderOptions& o) {
  const char* given = o.optimize         ? "--optimize"
                      : !o.start.empty() ? "--start"
                      : !o.end.empty()   ? "--end"
                                         : nullptr;
  if (given == nullptr) return "";
  const std::string name = given;
  if (format == "png") {
    return name + ": a PNG is a picture and has no drawing order; write SVG, DXF, G-code or HPGL";
  }
  if (format == "json") {
    return name + ": JSON holds the engine's records in the engine's order; write SVG, DXF, " +
           "G-code or HPGL";
  }
  if (!o.optimize && !IsMachineFormat(format)) {
    return name + ": an " + (format == "svg" ? "SVG" : "DXF") +
           " drawing has no start or end point without --optimize";
  }
  return "";
}

}  // namespace

int WriteOutput(const std::string& path, const OutputOptions& o) {
  Layers fetched;
  const Layers& layers = StreamsOf(o, fetched);
  const std::string format = OutputFormat(path, o);
  if (const std::string misfit = OrderMisfit(format, o.order); !misfit.empty()) {
    std::fprintf(stderr, "vuzodo: %s\n", misfit.c_str());
    return 1;
  }
  if (const int r = WriteMachineOutput(path, format, layers, o); r >= 0) return r;
  return WriteAtomically(path, [&](const std::string& temp) {
    if (format == "dxf") return WriteDxfFile(layers, o, temp);
    if (format == "png") return WritePngFile(layers, o, temp);
    if (format == "json") return WriteJsonFile(layers, o, temp);
    return WriteSvgFile(layers, o, temp);
  });
}

namespace {

// The bulge of an arc record from (x, y) to (nx, ny) around (cx, cy): the turn is the shorter
// one in the direction the cross product gives.
double ArcBulge(double x, double y, double nx, double ny, double cx, double cy) {
  const double cross = (x - cx) * (ny - cy) - (y - cy) * (nx - cx);
  double turn = std::atan2(ny - cy, nx - cx) - std::atan2(y - cy, x - cx);
  if (cross >= 0) {
    while (turn <= 0) turn += 2 * std::numbers::pi;
  } else {
    while (turn >= 0) turn -= 2 * std::numbers::pi;
  }
  return std::tan(turn / 4);
}

// Walks the records as chains with absolute coordinates (output units): `stroke(const Stroke&)`
// for each chain once it ends, `dot(x, y)` for each point. One Stroke is refilled for every
// chain, so a writer holds one chain at a time, never the whole drawing.
template <typename OnStroke, typename OnDot>
void WalkStrokes(std::span<const int> a, OnStroke stroke, OnDot dot) {
  Stroke s;
  bool open = false;  // s is the chain the next segment extends
  double x = 0, y = 0;
  auto finish = [&] {
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
  };
  for (size_t p = 0; p + 2 < a.size() && a[p] != -1;) {
    const int code = a[p];
    const double nx = x + a[p + 1], ny = y + a[p + 2];
    double bulge = 0;
    bool segment = code == 41;
    if (code == 42 && p + 4 < a.size() && (nx != x || ny != y)) {
      bulge = ArcBulge(x, y, nx, ny, x + a[p + 3], y + a[p + 4]);
      segment = true;
    }
    if (segment) {
      if (!open) {
        open = true;
        s.x.clear();
        s.y.clear();
        s.bulge.clear();
        s.x.push_back(x);
        s.y.push_back(y);
        s.bulge.push_back(0);
        s.closed = false;
      }
      s.bulge.back() = bulge;
      s.x.push_back(nx);
      s.y.push_back(ny);
      s.bulge.push_back(0);
    } else if (code == 40 && nx == x && ny == y) {
      // A move that stays put lifts no pen: the next segment starts where this one ended, so
      // both are one chain (one polyline for a plotter, one entity in a drawing).
    } else if (code != 42) {
      finish();
      if (code == 466) dot(nx, ny);
    }
    x = nx;
    y = ny;
    p += code == 42 ? 5 : 3;
  }
  finish();
}

}  // namespace

Geometry ToGeometry(std::span<const int> a) {
  Geometry g;
  WalkStrokes(
      a, [&](const Stroke& s) { g.strokes.push_back(s); },
      [&](double x, double y) { g.dots.emplace_back(x, y); });
  return g;
}

BulgeCircle ArcOfBulge(double x0, double y0, double x1, double y1, double bulge) {
  const double turn = 4 * std::atan(bulge);
  const double dx = x1 - x0, dy = y1 - y0;
  // The centre lies left of the chord for a counter-clockwise turn, right for a clockwise one.
  const double d = 0.5 / std::tan(turn / 2);
  return {(x0 + x1) / 2 - dy * d, (y0 + y1) / 2 + dx * d,
          std::hypot(dx, dy) / (2 * std::abs(std::sin(turn / 2))), turn};
}

namespace {

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

// Everything drawn, output units.
Bounds BoundsOf(const Geometry (&g)[3]) {
  Bounds b;
  for (const Geometry& one : g) {
    for (const Stroke& s : one.strokes) b.Widen(s);
    for (const auto& [x, y] : one.dots) b.Widen(x, y);
  }
  return b;
}

// The same from the records, with how many chains (cut as WalkStrokes cuts them) and dots
// each stream draws: a walk writers make before their own, so that nothing drawn has to be
// kept for a second look. It reads the records without building the chains.
struct Survey {
  Bounds bounds;
  size_t strokes[3] = {0, 0, 0};
  size_t dots[3] = {0, 0, 0};
};
Survey SurveyOf(const Layers& layers) {
  Survey v;
  const std::span<const int> streams[3] = {layers.outline, layers.fill, layers.hatch};
  for (int k = 0; k < 3; ++k) {
    const std::span<const int> a = streams[k];
    double x = 0, y = 0;
    bool open = false;
    for (size_t p = 0; p + 2 < a.size() && a[p] != -1;) {
      const int code = a[p];
      const double nx = x + a[p + 1], ny = y + a[p + 2];
      const bool arc = code == 42 && p + 4 < a.size() && (nx != x || ny != y);
      if (code == 41 || arc) {
        if (!open) {
          open = true;
          ++v.strokes[k];
          v.bounds.Widen(x, y);
        }
        v.bounds.Widen(nx, ny);
        const double bulge = arc ? ArcBulge(x, y, nx, ny, x + a[p + 3], y + a[p + 4]) : 0;
        if (bulge != 0) {  // arcs by their whole circle, as Widen(Stroke)
          const BulgeCircle c = ArcOfBulge(x, y, nx, ny, bulge);
          v.bounds.Widen(c.cx, c.cy, c.radius);
        }
      } else if (code != 42 && !(code == 40 && nx == x && ny == y)) {
        open = false;
        if (code == 466) {
          v.bounds.Widen(nx, ny);
          ++v.dots[k];
        }
      }
      x = nx;
      y = ny;
      p += code == 42 ? 5 : 3;
    }
  }
  return v;
}

// What the anchor adds to every coordinate, output units. Only the anchors other than the
// baseline measure the drawing (`b`).
std::pair<double, double> AnchorShift(const OutputOptions& o, const Bounds& b) {
  if (o.anchor == Anchor::kBaseline) {
    if (o.on_path) return {0, 0};
    CursorPosition* carets = nullptr;
    int count = 0;
    float top = 0;
    GetMultilineCaretPositionData(&carets, &count, &top);
    const double baseline = count > 0 ? carets[0].baselineY : 0;
    DeleteCaretData(reinterpret_cast<float*>(carets));
    return {0, -baseline};
  }
  if (b.Empty()) return {0, 0};
  if (o.anchor == Anchor::kTopLeft) return {-b.x0, -b.y1};
  return {-(b.x0 + b.x1) / 2, -(b.y0 + b.y1) / 2};
}

// SVG's y runs down; 0 stays 0 rather than -0.
double Down(double y) {
  return 0.0 - y;
}

const char* const kColours[3] = {"#000000", "#d91a1a", "#1a33e6"};  // outline, fill, hatch

// "00", "01", ... "99": whole numbers are written two digits a step.
constexpr auto kDigitPairs = [] {
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
  StrokeSource(const Layers& layers, const OutputOptions& o, double sx, double sy)
      : streams_{layers.outline, layers.fill, layers.hatch}, ordered_(o.order.optimize) {
    if (!ordered_) return;
    for (int k = 0; k < 3; ++k) drawing_[k] = ToGeometry(streams_[k]);
    OrderDrawing(drawing_, o.order, MillimetresPerUnit(o), sx, sy);
  }

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

}  // namespace

std::string WriteSvgFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  const Survey survey = SurveyOf(layers);
  Bounds b = survey.bounds;
  const auto [sx, sy] = AnchorShift(o, b);
  // The view holds the text box, the path and everything drawn.
  b.Widen(std::min(layers.box[0], layers.box[4]), std::min(layers.box[1], layers.box[5]));
  b.Widen(std::max(layers.box[0], layers.box[4]), std::max(layers.box[1], layers.box[5]));
  if (!o.guide.svg.empty()) {
    b.Widen(o.guide.min_x, o.guide.min_y);
    b.Widen(o.guide.max_x, o.guide.max_y);
  }
  const StrokeSource source(layers, o, sx, sy);
  // Margin and stroke grow with the drawing, so large paths stay legible.
  const double span = std::max(b.x1 - b.x0, b.y1 - b.y0);
  const double margin = std::max(100.0, span * 0.02);
  const double stroke = std::max(6.0, span / 1000.0);
  const double minx = b.x0 + sx - margin, maxx = b.x1 + sx + margin;
  const double miny = b.y0 + sy - margin, maxy = b.y1 + sy + margin;
  // The view box is in output units; one user unit is o.unit of them. SVG has no metres.
  const double per_unit = o.unit_name == "m" ? o.unit_length * 1000 : o.unit_length;
  const char* suffix = o.unit_name == "m" ? "mm" : o.unit_name.c_str();
  FileOut out(path);
  if (out.Failed()) return out.Close();
  std::ostringstream head;
  head << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << (maxx - minx) / o.unit * per_unit
       << suffix << "\" height=\"" << (maxy - miny) / o.unit * per_unit << suffix << "\" viewBox=\""
       << minx << " " << -maxy << " " << (maxx - minx) << " " << (maxy - miny) << "\">\n";
  if (!o.guide.svg.empty()) {
    head << "<g id=\"path\" transform=\"translate(" << sx << " " << -sy << ")\">\n"
         << o.guide.svg << "</g>\n";
  }
  out.Put(head.str());
  auto point = [&](double x, double y) {
    out.Thousandths(x + sx);
    out.Put(' ');
    out.Thousandths(Down(y + sy));
  };
  for (int k = 0; k < 3; ++k) {
    if (survey.strokes[k] == 0 && survey.dots[k] == 0) continue;
    std::ostringstream group;
    group << "<g id=\"" << kStreamNames[k] << "\" fill=\"none\" stroke=\"" << kColours[k]
          << "\" stroke-width=\"" << stroke << "\">\n";
    out.Put(group.str());
    if (survey.strokes[k] != 0) {
      out.Put("<path d=\"");
      source.Walk(
          k,
          [&](const Stroke& s) {
            out.Put('M');
            point(s.x[0], s.y[0]);
            Segments(s, [&](double x0, double y0, double x1, double y1, double bulge) {
              if (bulge == 0) {
                out.Put(" L");
                point(x1, y1);
                return;
              }
              const BulgeCircle a = ArcOfBulge(x0, y0, x1, y1, bulge);
              // y turns down: a counter-clockwise turn becomes sweep flag 0.
              out.Put(" A");
              out.Thousandths(a.radius);
              out.Put(' ');
              out.Thousandths(a.radius);
              out.Put(std::abs(bulge) > 1 ? " 0 1 " : " 0 0 ");
              out.Put(bulge > 0 ? "0 " : "1 ");
              point(x1, y1);
            });
            out.Put(s.closed ? " Z " : " ");
          },
          [](double, double) {});
      out.Put("\"/>\n");
    }
    if (survey.dots[k] != 0) {
      std::ostringstream radius;
      radius << 1.5 * stroke;
      source.Walk(
          k, [](const Stroke&) {},
          [&](double x, double y) {
            out.Put("<circle fill=\"");
            out.Put(kColours[k]);
            out.Put("\" stroke=\"none\" cx=\"");
            out.Thousandths(x + sx);
            out.Put("\" cy=\"");
            out.Thousandths(Down(y + sy));
            out.Put("\" r=\"");
            out.Put(radius.str());
            out.Put("\"/>\n");
          });
    }
    out.Put("</g>\n");
  }
  out.Put("</svg>\n");
  return out.Close();
}

namespace {

// ezdxf and CAD programs check that every object names its owner; dxflib's own objects do not,
// so the section is written here with the owners filled in.
void WriteObjects(DL_WriterA& dw) {
  auto object = [&](const char* type, int handle, int owner) {
    dw.dxfString(0, type);
    dw.dxfHex(5, handle);
    dw.dxfHex(330, owner);
  };
  auto entry = [&](const char* name, int handle) {
    dw.dxfString(3, name);
    dw.dxfHex(350, handle);
  };
  auto dictionary = [&](int handle, int owner, const char* type = "DICTIONARY") {
    object(type, handle, owner);
    dw.dxfString(100, "AcDbDictionary");
    dw.dxfInt(281, 1);
  };
  dw.dxfString(0, "SECTION");
  dw.dxfString(2, "OBJECTS");
  dictionary(0xC, 0);
  entry("ACAD_GROUP", 0xD);
  entry("ACAD_LAYOUT", 0x1A);
  entry("ACAD_MLINESTYLE", 0x17);
  entry("ACAD_PLOTSETTINGS", 0x19);
  entry("ACAD_PLOTSTYLENAME", 0xE);
  for (const int handle : {0xD, 0x19}) {  // groups and plot settings: empty
    dictionary(handle, 0xC);
  }
  dictionary(0xE, 0xC, "ACDBDICTIONARYWDFLT");
  entry("Normal", 0xF);
  dw.dxfString(100, "AcDbDictionaryWithDefault");
  dw.dxfHex(340, 0xF);
  object("ACDBPLACEHOLDER", 0xF, 0xE);
  dictionary(0x17, 0xC);
  entry("Standard", 0x18);
  object("MLINESTYLE", 0x18, 0x17);
  dw.dxfString(100, "AcDbMlineStyle");
  dw.dxfString(2, "Standard");
  dw.dxfInt(70, 0);
  dw.dxfString(3, "");
  dw.dxfInt(62, 256);
  dw.dxfReal(51, 90.0);
  dw.dxfReal(52, 90.0);
  dw.dxfInt(71, 2);
  for (const double offset : {0.5, -0.5}) {
    dw.dxfReal(49, offset);
    dw.dxfInt(62, 256);
    dw.dxfString(6, "BYLAYER");
  }
  dictionary(0x1A, 0xC);
  entry("Layout1", 0x1E);
  entry("Layout2", 0x26);
  entry("Model", 0x22);
  // Each layout with the block record of its space, as dxflib's block records number them.
  for (const auto& [name, handle, order, record] :
       {std::tuple{"Layout1", 0x1E, 1, 0x1B}, std::tuple{"Model", 0x22, 0, 0x1F},
        std::tuple{"Layout2", 0x26, 2, 0x23}}) {
    object("LAYOUT", handle, 0x1A);
    dw.dxfString(100, "AcDbPlotSettings");
    dw.dxfString(1, "");
    dw.dxfString(2, "none_device");
    dw.dxfInt(70, order == 0 ? 1712 : 688);
    dw.dxfString(100, "AcDbLayout");
    dw.dxfString(1, name);
    dw.dxfInt(70, 1);
    dw.dxfInt(71, order);
    dw.dxfHex(330, record);
  }
  dw.dxfString(0, "ENDSEC");
}

// $INSUNITS codes of the lengths a user unit can be.
int InsUnits(const std::string& name) {
  return name == "in" ? 1 : name == "cm" ? 5 : name == "m" ? 6 : 4;
}

// dxflib writes the header, tables, blocks and objects; every group it writes goes through
// here into the drawing's own buffered file (its own stream is left on /dev/null). The entities
// are written directly, the bulk of a large drawing.
//
// dxflib writes every real with 16 decimals, so 1298.156 becomes 1298.1559999999999491 and the
// coordinates fill most of the file. The shortest decimal that reads back as the same double
// says the same in a third of the bytes (always with a point: some readers take a bare
// integer for an integer group).
class DxfOut : public DL_WriterA {
 public:
  explicit DxfOut(FileOut& out) : DL_WriterA("/dev/null", DL_Codes::AC1015), out_(out) {}

  void dxfInt(int gc, int value) const override {
    Code(gc);
    out_.Int(value);
    out_.Put('\n');
  }
  void dxfHex(int gc, int value) const override {
    Code(gc);
    Hex(Seed(gc) ? handle_seed : static_cast<unsigned long>(value));
  }
  void dxfString(int gc, const std::string& value) const override { dxfString(gc, value.c_str()); }
  void dxfString(int gc, const char* value) const override {
    if (gc == 5 && Seed(gc)) return dxfHex(gc, 0);
    Code(gc);
    out_.Put(value != nullptr ? value : "");
    out_.Put('\n');
    seed_next_ = gc == 9 && value != nullptr && std::strcmp(value, "$HANDSEED") == 0;
  }
  void dxfReal(int gc, double value) const override {
    Code(gc);
    out_.Real(value, true);
    out_.Put('\n');
  }

  // The group code as AutoCAD writes it, right-aligned in three places.
  void Code(int gc) const {
    out_.Put(gc < 10 ? "  " : gc < 100 ? " " : "");
    out_.Int(gc);
    out_.Put('\n');
  }
  void Hex(unsigned long value) const {
    out_.Hex(value);
    out_.Put('\n');
  }
  // An entity's head: `type` ("  0\nLINE\n"), the next handle, then `rest`: the subclass
  // markers and the layer (see EntityRest). Colour, line type, line weight and line type scale
  // are left out: they only said BYLAYER and 1, which is what a reader assumes when they are
  // missing, and with one entity per hatch segment they were a third of the file.
  template <size_t N>
  void Entity(const char (&type)[N], std::string_view rest) const {
    out_.Put(type);
    out_.Put("  5\n");
    Hex(m_handle++);
    out_.Put(rest);
  }
  static std::string EntityRest(const char* layer, const char* subclass) {
    return std::string("100\nAcDbEntity\n  8\n") + layer + "\n100\n" + subclass + "\n";
  }

  // $HANDSEED, the next free handle: dxflib writes FFFF whatever follows, and a drawing with
  // more entities than that has handles past it, which a CAD program may hand out again.
  unsigned long handle_seed = 0xFFFF;

 private:
  bool Seed(int gc) const {
    const bool seed = gc == 5 && seed_next_;
    seed_next_ = false;
    return seed;
  }
  FileOut& out_;
  mutable bool seed_next_ = false;  // the header variable just named is $HANDSEED
};

}  // namespace

std::string WriteDxfFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  // One walk first, before anything is written: the header's handle seed counts the entities,
  // and the anchor may measure the drawing.
  const Survey survey = SurveyOf(layers);
  const auto [sx, sy] = AnchorShift(o, survey.bounds);
  const StrokeSource source(layers, o, sx, sy);
  FileOut out(path);
  if (out.Failed()) return out.Close();
  DL_Dxf dxf;
  DxfOut dw(out);
  // Past every handle: the tables, blocks and objects take fewer than 0x1000, then one handle
  // an entity. Small drawings keep dxflib's FFFF.
  unsigned long entities = 0;
  for (int k = 0; k < 3; ++k) entities += survey.strokes[k] + survey.dots[k];
  dw.handle_seed = std::max<unsigned long>(0xFFFF, 0x1000 + entities);
  const int colours[3] = {7, 1, 5};  // white/black, red, blue
  dxf.writeHeader(dw);
  // Drawing units: a CAD program inserts and measures the text at its real size.
  dw.dxfString(9, "$INSUNITS");
  dw.dxfInt(70, InsUnits(o.unit_name));
  dw.dxfString(9, "$MEASUREMENT");
  dw.dxfInt(70, o.unit_name == "in" ? 0 : 1);
  dw.sectionEnd();
  dw.sectionTables();
  dxf.writeVPort(dw);
  dw.tableLinetypes(3);
  dxf.writeLinetype(dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
  dxf.writeLinetype(dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
  dxf.writeLinetype(dw, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
  dw.tableEnd();
  dw.tableLayers(4);
  dxf.writeLayer(dw, DL_LayerData("0", 0), DL_Attributes("", 7, 0x00ffffff, -1, "CONTINUOUS"));
  for (int k = 0; k < 3; ++k) {
    dxf.writeLayer(dw, DL_LayerData(kStreamNames[k], 0),
                   DL_Attributes("", colours[k], 0x00ffffff, -1, "CONTINUOUS"));
  }
  dw.tableEnd();
  dw.tableStyle(1);
  dxf.writeStyle(dw, DL_StyleData("standard", 0, 2.5, 1.0, 0.0, 0, 2.5, "txt", ""));
  dw.tableEnd();
  dxf.writeView(dw);
  dxf.writeUcs(dw);
  dw.tableAppid(1);
  dxf.writeAppid(dw, "ACAD");
  dw.tableEnd();
  dxf.writeDimStyle(dw, 1, 1, 1, 1, 1);
  dxf.writeBlockRecord(dw);
  dw.tableEnd();
  dw.sectionEnd();
  dw.sectionBlocks();
  dxf.writeBlock(dw, DL_BlockData("*Model_Space", 0, 0.0, 0.0, 0.0));
  dxf.writeEndBlock(dw, "*Model_Space");
  dxf.writeBlock(dw, DL_BlockData("*Paper_Space", 0, 0.0, 0.0, 0.0));
  dxf.writeEndBlock(dw, "*Paper_Space");
  dw.sectionEnd();

  dw.sectionEntities();
  // Output units to drawing units, divided last: at 1 mm a unit, 1271 becomes 1.271, where
  // multiplying by 0.001 gave 1.2710000000000001.
  const double per_unit = o.unit / o.unit_length;
  // With a power of ten there (1000 output units a millimetre) a whole number of output units
  // is written by integer arithmetic, the same digits the division gives.
  int places = -1;
  for (int d = 0, p = 1; d <= 9 && places < 0; ++d, p *= 10) places = per_unit == p ? d : -1;
  auto coord = [&](const char(&code)[5], double v) {
    out.Put(code);
    if (places >= 0 && std::abs(v) < 1e12 && Whole(v)) {
      out.Decimal(static_cast<long long>(v), places);
    } else {
      out.Real(v / per_unit, true);
    }
    out.Put('\n');
  };
  for (int k = 0; k < 3; ++k) {
    const std::string line = DxfOut::EntityRest(kStreamNames[k], "AcDbLine");
    const std::string polyline = DxfOut::EntityRest(kStreamNames[k], "AcDbPolyline");
    const std::string point = DxfOut::EntityRest(kStreamNames[k], "AcDbPoint");
    source.Walk(
        k,
        [&](const Stroke& s) {
          const size_t n = s.x.size();
          if (n == 2 && !s.closed && s.bulge[0] == 0) {
            // A lone straight segment, as a hatch line's piece is: a LINE says it in fewer
            // groups than a polyline of two vertices.
            dw.Entity("  0\nLINE\n", line);
            coord(" 10\n", s.x[0] + sx);
            coord(" 20\n", s.y[0] + sy);
            coord(" 11\n", s.x[1] + sx);
            coord(" 21\n", s.y[1] + sy);
            return;
          }
          // Any longer chain one polyline, its arcs as bulges: a plotter or laser follows it
          // unbroken.
          dw.Entity("  0\nLWPOLYLINE\n", polyline);
          dw.dxfInt(90, static_cast<int>(n));
          dw.dxfInt(70, s.closed ? 1 : 0);
          for (size_t i = 0; i < n; ++i) {
            coord(" 10\n", s.x[i] + sx);
            coord(" 20\n", s.y[i] + sy);
            if (std::abs(s.bulge[i]) > 1e-10) dw.dxfReal(42, s.bulge[i]);
          }
        },
        [&](double x, double y) {
          dw.Entity("  0\nPOINT\n", point);
          coord(" 10\n", x + sx);
          coord(" 20\n", y + sy);
          dw.dxfReal(30, 0.0);
        });
  }
  dw.sectionEnd();
  WriteObjects(dw);
  dw.dxfEOF();
  return out.Close();
}

std::string WritePngFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  const Survey survey = SurveyOf(layers);
  Bounds b = survey.bounds;
  if (b.Empty()) b = Bounds{0, 0, 0, 0};  // nothing drawn: an empty picture
  double px = o.png_scale / o.unit;       // pixels per output unit
  const double margin = o.margin;
  auto side = [&](double span) { return std::ceil(span * px + 2 * margin); };
  const double asked_w = side(b.x1 - b.x0), asked_h = side(b.y1 - b.y0);
  // Past the cap the drawing is scaled down to fit; the margin stays as asked.
  const double ink_w = (b.x1 - b.x0) * px, ink_h = (b.y1 - b.y0) * px;
  double fit = 1.0;
  for (int step = 0; step < 64; ++step) {
    const double w = std::ceil(ink_w * fit + 2 * margin), h = std::ceil(ink_h * fit + 2 * margin);
    if (w <= kMaxPngSide && h <= kMaxPngSide && w * h <= static_cast<double>(kMaxPngPixels)) break;
    fit *= std::min({0.99 * kMaxPngSide / w, 0.99 * kMaxPngSide / h,
                     0.99 * std::sqrt(static_cast<double>(kMaxPngPixels) / (w * h)), 0.99});
  }
  px *= fit;
  const int width = std::max(1, static_cast<int>(side(b.x1 - b.x0)));
  const int height = std::max(1, static_cast<int>(side(b.y1 - b.y0)));
  if (width > kMaxPngSide || height > kMaxPngSide ||
      static_cast<long>(width) * height > kMaxPngPixels) {
    return "the margin alone passes the PNG cap of " + std::to_string(kMaxPngSide) +
           " pixels a side and " + std::to_string(kMaxPngPixels) + " pixels";
  }
  if (fit < 1.0) {
    std::fprintf(stderr,
                 "vuzodo: warning: %.0f x %.0f pixels at --png-scale %g pass the PNG cap (%d a "
                 "side, %ld pixels); drawn at --png-scale %.4g, %d x %d\n",
                 asked_w, asked_h, o.png_scale, kMaxPngSide, kMaxPngPixels, o.png_scale * fit,
                 width, height);
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  // Text space is y up; the picture is y down.
  cairo_translate(cr, margin - b.x0 * px, margin + b.y1 * px);
  cairo_scale(cr, px, -px);
  const double colours[3][3] = {{0, 0, 0}, {0.85, 0.1, 0.1}, {0.1, 0.2, 0.9}};
  const std::span<const int> streams[3] = {layers.outline, layers.fill, layers.hatch};
  for (int k = 0; k < 3; ++k) {
    cairo_set_source_rgb(cr, colours[k][0], colours[k][1], colours[k][2]);
    // Stroked a few thousand chains at a time: cairo holds the path and its stroker's edges
    // until the stroke, which for a whole large drawing was hundreds of megabytes. The pixels
    // change only where antialiased edges of two batches overlap.
    size_t pending = 0;
    auto stroke = [&] {
      cairo_save(cr);
      cairo_identity_matrix(cr);
      cairo_set_line_width(cr, 1.0);
      cairo_stroke(cr);
      cairo_restore(cr);
      pending = 0;
    };
    WalkStrokes(
        streams[k],
        [&](const Stroke& s) {
          cairo_move_to(cr, s.x[0], s.y[0]);
          Segments(s, [&](double x0, double y0, double x1, double y1, double bulge) {
            if (bulge == 0) {
              cairo_line_to(cr, x1, y1);
              return;
            }
            const BulgeCircle a = ArcOfBulge(x0, y0, x1, y1, bulge);
            (bulge > 0 ? cairo_arc : cairo_arc_negative)(cr, a.cx, a.cy, a.radius,
                                                         std::atan2(y0 - a.cy, x0 - a.cx),
                                                         std::atan2(y1 - a.cy, x1 - a.cx));
          });
          if (s.closed) cairo_close_path(cr);
          if ((pending += s.x.size()) >= 16384) stroke();
        },
        [](double, double) {});
    stroke();
    if (survey.dots[k] != 0) {
      WalkStrokes(
          streams[k], [](const Stroke&) {},
          [&](double x, double y) {
            cairo_new_sub_path(cr);
            cairo_arc(cr, x, y, 1.5 / px, 0, 2 * std::numbers::pi);
          });
    }
    cairo_fill(cr);
  }
  cairo_destroy(cr);
  const cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
  cairo_surface_destroy(surface);
  return status == CAIRO_STATUS_SUCCESS ? "" : cairo_status_to_string(status);
}

namespace {

std::string JsonString(const std::string& s) {
  std::ostringstream out;
  out << '"';
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out << '\\' << c;
    } else if (c < 0x20) {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
      out << buffer;
    } else {
      out << c;  // UTF-8 passes through
    }
  }
  out << '"';
  return out.str();
}

// Records as arrays of 3 or 5 ints, without the end mark.
void JsonRecords(FileOut& out, std::span<const int> a) {
  out.Put('[');
  bool first = true;
  for (size_t p = 0; p + 2 < a.size() && a[p] != -1;) {
    const size_t n = a[p] == 42 ? 5 : 3;
    if (p + n > a.size()) break;
    out.Put(first ? "[" : ",[");
    for (size_t k = 0; k < n; ++k) {
      if (k != 0) out.Put(',');
      out.Int(a[p + k]);
    }
    out.Put(']');
    first = false;
    p += n;
  }
  out.Put(']');
}

}  // namespace

std::string WriteJsonFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  FileOut file(path);
  if (file.Failed()) return file.Close();
  Bounds b;  // the records go out as they are: a walk only for an anchor that measures
  if (o.anchor != Anchor::kBaseline) b = SurveyOf(layers).bounds;
  const auto [sx, sy] = AnchorShift(o, b);
  std::ostringstream out;
  out << "{\n  \"text\": " << JsonString(o.text) << ",\n  \"unit\": " << o.unit
      << ",\n  \"userUnit\": {\"length\": " << o.unit_length << ", \"name\": \"" << o.unit_name
      << "\"},\n  \"anchor\": {\"name\": \""
      << (o.anchor == Anchor::kBaseline  ? "baseline"
          : o.anchor == Anchor::kTopLeft ? "top-left"
                                         : "centre")
      << "\", \"offset\": [" << sx << "," << sy << "]}"
      << ",\n  \"lines\": " << GetTextLineCount()
      << ",\n  \"characters\": " << GetCharacterCount(-1) << ",\n  \"box\": [";
  for (int i = 0; i < 8; ++i) out << (i ? "," : "") << layers.box[i];
  out << "],\n  \"metrics\": {\"ascent\": " << GetMaximumAscent()
      << ", \"descent\": " << GetMaximumDecent() << ", \"lineGap\": " << GetMaximumLineGap()
      << "},\n  \"records\": {\n    \"outline\": ";
  file.Put(out.str());
  JsonRecords(file, layers.outline);
  file.Put(",\n    \"fill\": ");
  JsonRecords(file, layers.fill);
  file.Put(",\n    \"hatch\": ");
  JsonRecords(file, layers.hatch);
  out.str("");
  out << "\n  },\n  \"carets\": [";
  CursorPosition* carets = nullptr;
  int count = 0;
  float top = 0;
  GetMultilineCaretPositionData(&carets, &count, &top);
  for (int i = 0; i < count; ++i) {
    const CursorPosition& c = carets[i];
    out << (i ? ",\n    " : "\n    ") << "{\"top\": [" << c.topX << "," << c.topY
        << "], \"bottom\": [" << c.bottomX << "," << c.bottomY << "], \"baseline\": " << c.baselineY
        << ", \"lineStart\": " << c.lineStart << "}";
  }
  DeleteCaretData(reinterpret_cast<float*>(carets));
  out << "\n  ]\n}\n";
  file.Put(out.str());
  return file.Close();
}

std::pair<double, double> DrawingShift(const OutputOptions& o, const Geometry (&g)[3]) {
  return AnchorShift(o, o.anchor == Anchor::kBaseline ? Bounds() : BoundsOf(g));
}

}  // namespace vuzodo_cli
