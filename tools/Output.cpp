// SVG, DXF, PNG and JSON writers of the render and replay commands.
#include "Output.h"

#include <cairo.h>
#include <dxflib/dl_dxf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
#include <tuple>

#include "Order.h"
#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {

namespace fs = std::filesystem;

std::vector<int> Fetch(EN_ReturnType type, float* box) {
  int* data = nullptr;
  const int count = GetMultilineOutLines(-1, type, &data, box);
  std::vector<int> out(data, data + std::max(count, 0));
  DeleteTTFData(data);
  return out;
}

}  // namespace

Layers FetchLayers() {
  Layers layers;
  float ignored[8];
  layers.outline = Fetch(EN_RT_BORDER, layers.box);
  layers.fill = Fetch(EN_RT_FILL, ignored);
  layers.hatch = Fetch(EN_RT_HATCH_POLYLINES, ignored);
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

Layers StreamsOf(const OutputOptions& o) {
  return o.layers ? *o.layers : FetchLayers();
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
  const Layers layers = StreamsOf(o);
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

Geometry ToGeometry(const std::vector<int>& a) {
  Geometry g;
  double x = 0, y = 0;
  Stroke* open = nullptr;  // the chain the next segment extends
  auto finish = [&] {
    if (open != nullptr && open->x.size() > 2 && open->x.front() == open->x.back() &&
        open->y.front() == open->y.back()) {
      open->closed = true;
      open->x.pop_back();
      open->y.pop_back();
    } else if (open != nullptr) {
      open->bulge.back() = 0;  // no segment leaves the last point
    }
    open = nullptr;
  };
  for (size_t p = 0; p + 2 < a.size() && a[p] != -1;) {
    const int code = a[p];
    const double nx = x + a[p + 1], ny = y + a[p + 2];
    double bulge = 0;
    bool segment = code == 41;
    if (code == 42 && p + 4 < a.size() && (nx != x || ny != y)) {
      // The centre is relative to the arc's start; the turn is the shorter one in the
      // direction the cross product gives.
      const double cx = x + a[p + 3], cy = y + a[p + 4];
      const double cross = (x - cx) * (ny - cy) - (y - cy) * (nx - cx);
      double turn = std::atan2(ny - cy, nx - cx) - std::atan2(y - cy, x - cx);
      if (cross >= 0) {
        while (turn <= 0) turn += 2 * std::numbers::pi;
      } else {
        while (turn >= 0) turn -= 2 * std::numbers::pi;
      }
      bulge = std::tan(turn / 4);
      segment = true;
    }
    if (segment) {
      if (open == nullptr) {
        g.strokes.emplace_back();
        open = &g.strokes.back();
        open->x.push_back(x);
        open->y.push_back(y);
        open->bulge.push_back(0);
      }
      open->bulge.back() = bulge;
      open->x.push_back(nx);
      open->y.push_back(ny);
      open->bulge.push_back(0);
    } else if (code != 42) {
      finish();
      if (code == 466) g.dots.emplace_back(nx, ny);
    }
    x = nx;
    y = ny;
    p += code == 42 ? 5 : 3;
  }
  finish();
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
  bool Empty() const { return x0 > x1; }
};

// Everything drawn, output units; arcs by their whole circle (a margin, not a tight fit).
Bounds BoundsOf(const Geometry (&g)[3]) {
  Bounds b;
  for (const Geometry& one : g) {
    for (const Stroke& s : one.strokes) {
      Segments(s, [&](double x0, double y0, double x1, double y1, double bulge) {
        b.Widen(x0, y0);
        b.Widen(x1, y1);
        if (bulge != 0) {
          const BulgeCircle a = ArcOfBulge(x0, y0, x1, y1, bulge);
          b.Widen(a.cx, a.cy, a.radius);
        }
      });
      if (s.x.size() == 1) b.Widen(s.x[0], s.y[0]);
    }
    for (const auto& [x, y] : one.dots) b.Widen(x, y);
  }
  return b;
}

void GeometryOf(const Layers& layers, Geometry (&g)[3]) {
  g[0] = ToGeometry(layers.outline);
  g[1] = ToGeometry(layers.fill);
  g[2] = ToGeometry(layers.hatch);
}

// What the anchor adds to every coordinate, output units. Only the anchors other than the
// baseline measure the drawing.
std::pair<double, double> AnchorShift(const OutputOptions& o, const Geometry (&g)[3]) {
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
  const Bounds b = BoundsOf(g);
  if (b.Empty()) return {0, 0};
  if (o.anchor == Anchor::kTopLeft) return {-b.x0, -b.y1};
  return {-(b.x0 + b.x1) / 2, -(b.y0 + b.y1) / 2};
}

// SVG's y runs down; 0 stays 0 rather than -0.
double Down(double y) {
  return 0.0 - y;
}

const char* const kColours[3] = {"#000000", "#d91a1a", "#1a33e6"};  // outline, fill, hatch

}  // namespace

std::string WriteSvgFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  Geometry g[3];
  GeometryOf(layers, g);
  Bounds b = BoundsOf(g);
  // The view holds the text box, the path and everything drawn.
  b.Widen(std::min(layers.box[0], layers.box[4]), std::min(layers.box[1], layers.box[5]));
  b.Widen(std::max(layers.box[0], layers.box[4]), std::max(layers.box[1], layers.box[5]));
  if (!o.guide.svg.empty()) {
    b.Widen(o.guide.min_x, o.guide.min_y);
    b.Widen(o.guide.max_x, o.guide.max_y);
  }
  const auto [sx, sy] = AnchorShift(o, g);
  OrderDrawing(g, o.order, MillimetresPerUnit(o), sx, sy);
  // Margin and stroke grow with the drawing, so large paths stay legible.
  const double span = std::max(b.x1 - b.x0, b.y1 - b.y0);
  const double margin = std::max(100.0, span * 0.02);
  const double stroke = std::max(6.0, span / 1000.0);
  const double minx = b.x0 + sx - margin, maxx = b.x1 + sx + margin;
  const double miny = b.y0 + sy - margin, maxy = b.y1 + sy + margin;
  // The view box is in output units; one user unit is o.unit of them. SVG has no metres.
  const double per_unit = o.unit_name == "m" ? o.unit_length * 1000 : o.unit_length;
  const char* suffix = o.unit_name == "m" ? "mm" : o.unit_name.c_str();
  std::ofstream out(path);
  if (!out) return std::strerror(errno);
  out << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << (maxx - minx) / o.unit * per_unit
      << suffix << "\" height=\"" << (maxy - miny) / o.unit * per_unit << suffix << "\" viewBox=\""
      << minx << " " << -maxy << " " << (maxx - minx) << " " << (maxy - miny) << "\">\n";
  if (!o.guide.svg.empty()) {
    out << "<g id=\"path\" transform=\"translate(" << sx << " " << -sy << ")\">\n"
        << o.guide.svg << "</g>\n";
  }
  for (int k = 0; k < 3; ++k) {
    if (g[k].strokes.empty() && g[k].dots.empty()) continue;
    out << "<g id=\"" << kStreamNames[k] << "\" fill=\"none\" stroke=\"" << kColours[k]
        << "\" stroke-width=\"" << stroke << "\">\n";
    if (!g[k].strokes.empty()) {
      out << "<path d=\"";
      for (const Stroke& s : g[k].strokes) {
        out << "M" << s.x[0] + sx << " " << Down(s.y[0] + sy);
        Segments(s, [&](double x0, double y0, double x1, double y1, double bulge) {
          if (bulge == 0) {
            out << " L" << x1 + sx << " " << Down(y1 + sy);
            return;
          }
          const BulgeCircle a = ArcOfBulge(x0, y0, x1, y1, bulge);
          // y turns down: a counter-clockwise turn becomes sweep flag 0.
          out << " A" << a.radius << " " << a.radius << " 0 " << (std::abs(bulge) > 1 ? 1 : 0)
              << " " << (bulge > 0 ? 0 : 1) << " " << x1 + sx << " " << Down(y1 + sy);
        });
        out << (s.closed ? " Z " : " ");
      }
      out << "\"/>\n";
    }
    for (const auto& [x, y] : g[k].dots) {
      out << "<circle fill=\"" << kColours[k] << "\" stroke=\"none\" cx=\"" << x + sx << "\" cy=\""
          << Down(y + sy) << "\" r=\"" << 1.5 * stroke << "\"/>\n";
    }
    out << "</g>\n";
  }
  out << "</svg>\n";
  out.close();
  return out ? "" : "write failed";
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

// dxflib writes every real with 16 decimals, so 1298.156 becomes 1298.1559999999999491 and the
// coordinates fill most of the file. The shortest decimal that reads back as the same double
// says the same in a third of the bytes (always with a point: some readers take a bare
// integer for an integer group).
//
// Entities also skip the attribute groups whose value is the default anyway (colour, line
// weight and line type BYLAYER, line type scale 1): with one entity per hatch segment they were
// a third of the file. Tables keep them.
class CompactDxfWriter : public DL_WriterA {
 public:
  using DL_WriterA::DL_WriterA;
  bool in_entities = false;  // set while the ENTITIES section is written

  void dxfInt(int gc, int value) const override {
    if (in_entities && ((gc == 62 && value == 256) || (gc == 370 && value == -1))) return;
    DL_WriterA::dxfInt(gc, value);
  }
  void dxfString(int gc, const std::string& value) const override {
    if (in_entities && gc == 6 && value == "BYLAYER") return;
    DL_WriterA::dxfString(gc, value);
  }
  void dxfString(int gc, const char* value) const override {
    dxfString(gc, std::string(value != nullptr ? value : ""));
  }
  void dxfReal(int gc, double value) const override {
    if (in_entities && gc == 48 && value == 1.0) return;
    char text[64];
    const auto end = std::to_chars(text, text + sizeof text - 2, value, std::chars_format::fixed);
    char* last = end.ec == std::errc() ? end.ptr : text;
    if (last == text) {
      last = text + std::snprintf(text, sizeof text, "%.17g", value);
    } else if (std::find(text, last, '.') == last) {
      *last++ = '.';
      *last++ = '0';
    }
    DL_WriterA::dxfString(gc, std::string(text, last));
  }
};

}  // namespace

std::string WriteDxfFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  DL_Dxf dxf;
  auto dw = std::make_unique<CompactDxfWriter>(path.c_str(), DL_Codes::AC1015);
  if (dw->openFailed()) return std::strerror(errno);
  const int colours[3] = {7, 1, 5};  // white/black, red, blue
  dxf.writeHeader(*dw);
  // Drawing units: a CAD program inserts and measures the text at its real size.
  dw->dxfString(9, "$INSUNITS");
  dw->dxfInt(70, InsUnits(o.unit_name));
  dw->dxfString(9, "$MEASUREMENT");
  dw->dxfInt(70, o.unit_name == "in" ? 0 : 1);
  dw->sectionEnd();
  dw->sectionTables();
  dxf.writeVPort(*dw);
  dw->tableLinetypes(3);
  dxf.writeLinetype(*dw, DL_LinetypeData("BYBLOCK", "", 0, 0, 0.0));
  dxf.writeLinetype(*dw, DL_LinetypeData("BYLAYER", "", 0, 0, 0.0));
  dxf.writeLinetype(*dw, DL_LinetypeData("CONTINUOUS", "Solid line", 0, 0, 0.0));
  dw->tableEnd();
  dw->tableLayers(4);
  dxf.writeLayer(*dw, DL_LayerData("0", 0), DL_Attributes("", 7, 0x00ffffff, -1, "CONTINUOUS"));
  for (int k = 0; k < 3; ++k) {
    dxf.writeLayer(*dw, DL_LayerData(kStreamNames[k], 0),
                   DL_Attributes("", colours[k], 0x00ffffff, -1, "CONTINUOUS"));
  }
  dw->tableEnd();
  dw->tableStyle(1);
  dxf.writeStyle(*dw, DL_StyleData("standard", 0, 2.5, 1.0, 0.0, 0, 2.5, "txt", ""));
  dw->tableEnd();
  dxf.writeView(*dw);
  dxf.writeUcs(*dw);
  dw->tableAppid(1);
  dxf.writeAppid(*dw, "ACAD");
  dw->tableEnd();
  dxf.writeDimStyle(*dw, 1, 1, 1, 1, 1);
  dxf.writeBlockRecord(*dw);
  dw->tableEnd();
  dw->sectionEnd();
  dw->sectionBlocks();
  dxf.writeBlock(*dw, DL_BlockData("*Model_Space", 0, 0.0, 0.0, 0.0));
  dxf.writeEndBlock(*dw, "*Model_Space");
  dxf.writeBlock(*dw, DL_BlockData("*Paper_Space", 0, 0.0, 0.0, 0.0));
  dxf.writeEndBlock(*dw, "*Paper_Space");
  dw->sectionEnd();

  dw->sectionEntities();
  dw->in_entities = true;
  Geometry g[3];
  GeometryOf(layers, g);
  const auto [sx, sy] = AnchorShift(o, g);
  OrderDrawing(g, o.order, MillimetresPerUnit(o), sx, sy);
  const double s = o.unit_length / o.unit;  // output units to drawing units
  for (int k = 0; k < 3; ++k) {
    const DL_Attributes attributes(kStreamNames[k], 256, -1, "BYLAYER", 1.0);
    // Each stroke one polyline, its arcs as bulges: a plotter or laser follows it unbroken.
    for (const Stroke& stroke : g[k].strokes) {
      const size_t n = stroke.x.size();
      dxf.writePolyline(*dw, DL_PolylineData(static_cast<int>(n), 0, 0, stroke.closed ? 1 : 0),
                        attributes);
      for (size_t i = 0; i < n; ++i) {
        dxf.writeVertex(
            *dw, DL_VertexData((stroke.x[i] + sx) * s, (stroke.y[i] + sy) * s, 0, stroke.bulge[i]));
      }
      dxf.writePolylineEnd(*dw);
    }
    for (const auto& [x, y] : g[k].dots)
      dxf.writePoint(*dw, DL_PointData((x + sx) * s, (y + sy) * s, 0), attributes);
  }
  dw->in_entities = false;
  dw->sectionEnd();
  WriteObjects(*dw);
  dw->dxfEOF();
  dw->close();
  return "";
}

std::string WritePngFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  Geometry g[3];
  GeometryOf(layers, g);
  Bounds b = BoundsOf(g);
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
  for (int k = 0; k < 3; ++k) {
    for (const Stroke& s : g[k].strokes) {
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
    }
    cairo_set_source_rgb(cr, colours[k][0], colours[k][1], colours[k][2]);
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_line_width(cr, 1.0);
    cairo_stroke(cr);
    cairo_restore(cr);
    for (const auto& [x, y] : g[k].dots) {
      cairo_new_sub_path(cr);
      cairo_arc(cr, x, y, 1.5 / px, 0, 2 * std::numbers::pi);
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
void JsonRecords(std::ostream& out, const std::vector<int>& a) {
  out << '[';
  bool first = true;
  for (size_t p = 0; p + 2 < a.size() && a[p] != -1;) {
    const size_t n = a[p] == 42 ? 5 : 3;
    if (p + n > a.size()) break;
    out << (first ? "" : ",") << '[';
    for (size_t k = 0; k < n; ++k) out << (k ? "," : "") << a[p + k];
    out << ']';
    first = false;
    p += n;
  }
  out << ']';
}

}  // namespace

std::string WriteJsonFile(const Layers& layers, const OutputOptions& o, const std::string& path) {
  std::ofstream out(path);
  if (!out) return std::strerror(errno);
  Geometry g[3];  // the records go out as they are: geometry only for an anchor that measures
  if (o.anchor != Anchor::kBaseline) GeometryOf(layers, g);
  const auto [sx, sy] = AnchorShift(o, g);
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
  JsonRecords(out, layers.outline);
  out << ",\n    \"fill\": ";
  JsonRecords(out, layers.fill);
  out << ",\n    \"hatch\": ";
  JsonRecords(out, layers.hatch);
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
  out.close();
  return out ? "" : "write failed";
}

std::pair<double, double> DrawingShift(const OutputOptions& o, const Geometry (&g)[3]) {
  return AnchorShift(o, g);
}

}  // namespace vuzodo_cli
