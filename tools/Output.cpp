// The streams a render writes, fetched from the engine, and the choice of the writer for a
// file; what the drawing writers share (tools/Drawing.h).
#include "Output.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string_view>

#include "Drawing.h"
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

// Everything drawn, output units.
Bounds BoundsOf(const Geometry (&g)[3]) {
  Bounds b;
  for (const Geometry& one : g) {
    for (const Stroke& s : one.strokes) b.Widen(s);
    for (const auto& [x, y] : one.dots) b.Widen(x, y);
  }
  return b;
}

}  // namespace

Survey SurveyOf(const Layers& layers) {
  Survey v;
  const std::span<const int> streams[3] = {layers.outline, layers.fill, layers.hatch};
  for (int k = 0; k < 3; ++k) {
    bool open = false;
    WalkRecords(
        streams[k],
        [&](double x0, double y0, double x1, double y1, double bulge) {
          if (!open) {
            open = true;
            ++v.strokes[k];
            v.bounds.Widen(x0, y0);
          }
          v.bounds.Widen(x1, y1);
          if (bulge != 0) {  // arcs by their whole circle, as Widen(Stroke)
            const BulgeCircle c = ArcOfBulge(x0, y0, x1, y1, bulge);
            v.bounds.Widen(c.cx, c.cy, c.radius);
          }
        },
        [&] { open = false; },
        [&](double x, double y) {
          v.bounds.Widen(x, y);
          ++v.dots[k];
        });
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

StrokeSource::StrokeSource(const Layers& layers, const OutputOptions& o, double sx, double sy)
    : streams_{layers.outline, layers.fill, layers.hatch}, ordered_(o.order.optimize) {
  if (!ordered_) return;
  for (int k = 0; k < 3; ++k) drawing_[k] = ToGeometry(streams_[k]);
  OrderDrawing(drawing_, o.order, MillimetresPerUnit(o), sx, sy);
}

std::pair<double, double> DrawingShift(const OutputOptions& o, const Geometry (&g)[3]) {
  return AnchorShift(o, o.anchor == Anchor::kBaseline ? Bounds() : BoundsOf(g));
}

}  // namespace vuzodo_cli
