// DXF, PNG and JSON writers of the render command.
#include "Output.h"

#include <cairo.h>
#include <dxflib/dl_dxf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <numbers>
#include <sstream>

#include "vuzodo/vuzodo.h"

namespace vuzodo_cli {
namespace {

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

int WriteAtomically(const std::string& path,
                    const std::function<std::string(const std::string& temp)>& write) {
  // The temporary lives beside the target so that the rename stays on one file system.
  std::string temp = path + ".XXXXXX";
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
  if (error.empty() && std::rename(temp.c_str(), path.c_str()) != 0) error = std::strerror(errno);
  if (!error.empty()) {
    std::remove(temp.c_str());
    std::fprintf(stderr, "vuzodo: cannot write %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  return 0;
}

bool WriteLayerFile(const std::string& path, const std::string& text, float unit, double png_scale,
                    double margin, int& result) {
  if (path.ends_with(".dxf")) {
    result = WriteDxf(FetchLayers(), unit, path);
  } else if (path.ends_with(".png")) {
    result = WritePng(FetchLayers(), unit, png_scale, margin, path);
  } else if (path.ends_with(".json")) {
    result = WriteJson(FetchLayers(), text, unit, path);
  } else {
    return false;
  }
  return true;
}

Geometry ToGeometry(const std::vector<int>& a) {
  Geometry g;
  double x = 0, y = 0;
  Stroke* open = nullptr;  // the chain the next straight segment extends
  auto finish = [&] {
    if (open != nullptr && open->x.size() > 2 && open->x.front() == open->x.back() &&
        open->y.front() == open->y.back()) {
      open->closed = true;
      open->x.pop_back();
      open->y.pop_back();
    }
    open = nullptr;
  };
  for (size_t p = 0; p + 2 < a.size() && a[p] != -1;) {
    const int code = a[p];
    const double nx = x + a[p + 1], ny = y + a[p + 2];
    if (code == 41) {
      if (open == nullptr) {
        g.strokes.emplace_back();
        open = &g.strokes.back();
        open->x.push_back(x);
        open->y.push_back(y);
      }
      open->x.push_back(nx);
      open->y.push_back(ny);
    } else {
      finish();
      if (code == 42 && p + 4 < a.size()) {
        // The centre is relative to the arc's start; the turn is the shorter
        // one in the direction the cross product gives.
        const double cx = x + a[p + 3], cy = y + a[p + 4];
        const double a0 = std::atan2(y - cy, x - cx), a1 = std::atan2(ny - cy, nx - cx);
        const double cross = (x - cx) * (ny - cy) - (y - cy) * (nx - cx);
        const double r = std::hypot(x - cx, y - cy);
        if (cross >= 0) {
          g.arcs.push_back({cx, cy, r, a0, a1});
        } else {
          g.arcs.push_back({cx, cy, r, a1, a0});  // clockwise: the same arc reversed
        }
      } else if (code == 466) {
        g.dots.emplace_back(nx, ny);
      }
    }
    x = nx;
    y = ny;
    p += code == 42 ? 5 : 3;
  }
  finish();
  return g;
}

int WriteDxf(const Layers& layers, float unit, const std::string& path) {
  return WriteAtomically(path,
                         [&](const std::string& temp) { return WriteDxfFile(layers, unit, temp); });
}

std::string WriteDxfFile(const Layers& layers, float unit, const std::string& path) {
  DL_Dxf dxf;
  std::unique_ptr<DL_WriterA> dw(dxf.out(path.c_str(), DL_Codes::AC1015));
  if (dw == nullptr) return std::strerror(errno);
  const char* names[3] = {"outline", "fill", "hatch"};
  const int colours[3] = {7, 1, 5};  // white/black, red, blue
  dxf.writeHeader(*dw);
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
    dxf.writeLayer(*dw, DL_LayerData(names[k], 0),
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
  const double s = 1.0 / unit;  // output units to user units
  const std::vector<int>* lists[3] = {&layers.outline, &layers.fill, &layers.hatch};
  for (int k = 0; k < 3; ++k) {
    const DL_Attributes attributes(names[k], 256, -1, "BYLAYER", 1.0);
    const Geometry g = ToGeometry(*lists[k]);
    for (const Stroke& stroke : g.strokes) {
      const size_t n = stroke.x.size();
      if (n == 2) {
        dxf.writeLine(
            *dw,
            DL_LineData(stroke.x[0] * s, stroke.y[0] * s, 0, stroke.x[1] * s, stroke.y[1] * s, 0),
            attributes);
        continue;
      }
      dxf.writePolyline(*dw, DL_PolylineData(static_cast<int>(n), 0, 0, stroke.closed ? 1 : 0),
                        attributes);
      for (size_t i = 0; i < n; ++i) {
        dxf.writeVertex(*dw, DL_VertexData(stroke.x[i] * s, stroke.y[i] * s, 0, 0));
      }
      dxf.writePolylineEnd(*dw);
    }
    for (const Arc& arc : g.arcs) {
      const double deg = 180.0 / std::numbers::pi;
      dxf.writeArc(
          *dw,
          DL_ArcData(arc.cx * s, arc.cy * s, 0, arc.radius * s, arc.start * deg, arc.end * deg),
          attributes);
    }
    for (const auto& [x, y] : g.dots)
      dxf.writePoint(*dw, DL_PointData(x * s, y * s, 0), attributes);
  }
  dw->sectionEnd();
  dxf.writeObjects(*dw);
  dxf.writeObjectsEnd(*dw);
  dw->dxfEOF();
  dw->close();
  return "";
}

int WritePng(const Layers& layers, float unit, double scale, double margin,
             const std::string& path) {
  return WriteAtomically(path, [&](const std::string& temp) {
    return WritePngFile(layers, unit, scale, margin, temp);
  });
}

std::string WritePngFile(const Layers& layers, float unit, double scale, double margin,
                         const std::string& path) {
  const std::vector<int>* lists[3] = {&layers.outline, &layers.fill, &layers.hatch};
  Geometry g[3];
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  auto widen = [&](double x, double y, double r) {
    x0 = std::min(x0, x - r), x1 = std::max(x1, x + r);
    y0 = std::min(y0, y - r), y1 = std::max(y1, y + r);
  };
  for (int k = 0; k < 3; ++k) {
    g[k] = ToGeometry(*lists[k]);
    for (const Stroke& s : g[k].strokes) {
      for (size_t i = 0; i < s.x.size(); ++i) widen(s.x[i], s.y[i], 0);
    }
    for (const Arc& a : g[k].arcs) widen(a.cx, a.cy, a.radius);
    for (const auto& [x, y] : g[k].dots) widen(x, y, 0);
  }
  if (x0 > x1) x0 = y0 = x1 = y1 = 0;  // nothing drawn: an empty picture
  const double px = scale / unit;      // pixels per output unit
  const int width = std::clamp(static_cast<int>(std::ceil((x1 - x0) * px + 2 * margin)), 1, 16384);
  const int height = std::clamp(static_cast<int>(std::ceil((y1 - y0) * px + 2 * margin)), 1, 16384);
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_paint(cr);
  // Text space is y up; the picture is y down.
  cairo_translate(cr, margin - x0 * px, margin + y1 * px);
  cairo_scale(cr, px, -px);
  const double colours[3][3] = {{0, 0, 0}, {0.85, 0.1, 0.1}, {0.1, 0.2, 0.9}};
  for (int k = 0; k < 3; ++k) {
    for (const Stroke& s : g[k].strokes) {
      cairo_move_to(cr, s.x[0], s.y[0]);
      for (size_t i = 1; i < s.x.size(); ++i) cairo_line_to(cr, s.x[i], s.y[i]);
      if (s.closed) cairo_close_path(cr);
    }
    for (const Arc& a : g[k].arcs) {
      cairo_new_sub_path(cr);
      cairo_arc(cr, a.cx, a.cy, a.radius, a.start, a.end);
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

int WriteJson(const Layers& layers, const std::string& text, float unit, const std::string& path) {
  return WriteAtomically(
      path, [&](const std::string& temp) { return WriteJsonFile(layers, text, unit, temp); });
}

std::string WriteJsonFile(const Layers& layers, const std::string& text, float unit,
                          const std::string& path) {
  std::ofstream out(path);
  if (!out) return std::strerror(errno);
  out << "{\n  \"text\": " << JsonString(text) << ",\n  \"unit\": " << unit
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

}  // namespace vuzodo_cli
