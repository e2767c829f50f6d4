// Drawing files from the engine's records: DXF, PNG and JSON beside the SVG
// of the render command. Every writer takes the same layers, fetched once.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vuzodo_cli {

// The three streams of the current text, each as the host's int records
// (whole text, lines placed in the box), and the text's box.
struct Layers {
  std::vector<int> outline;  // return type 0
  std::vector<int> fill;     // return type 1: hatch segments
  std::vector<int> hatch;    // return type 2: hatch polylines
  float box[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

// Fetches the layers of the text laid out now.
Layers FetchLayers();

// One record list cut into geometry with absolute coordinates (output units).
struct Stroke {
  std::vector<double> x, y;  // a chain of straight segments
  bool closed = false;       // the last point came back to the first
};
struct Arc {
  double cx, cy, radius;
  double start, end;  // radians, counter-clockwise from start to end
};
struct Geometry {
  std::vector<Stroke> strokes;
  std::vector<Arc> arcs;
  std::vector<std::pair<double, double>> dots;
};
Geometry ToGeometry(const std::vector<int>& records);

// Writes `path` through a temporary file beside it, renamed over the target only once `write`
// (given the temporary's path) returns "": a failed write leaves neither a partial drawing nor
// the temporary. Otherwise prints "vuzodo: cannot write PATH: REASON" with what `write` or the
// system returned, and returns 1; else 0.
int WriteAtomically(const std::string& path,
                    const std::function<std::string(const std::string& temp)>& write);

// Writers of one file each, returning "" or why the file could not be written. Callers go
// through WriteAtomically (the writers below do).
std::string WriteDxfFile(const Layers& layers, float unit, const std::string& path);
std::string WritePngFile(const Layers& layers, float unit, double scale, double margin,
                         const std::string& path);
std::string WriteJsonFile(const Layers& layers, const std::string& text, float unit,
                          const std::string& path);

// Writers; each returns 0, or prints a one-line error and returns 1.
// DXF (R2000, through dxflib): LWPOLYLINE for chains of two or more
// segments, LINE for single segments, ARC and POINT, on the layers
// "outline", "fill" and "hatch"; coordinates in user units (output / unit).
int WriteDxf(const Layers& layers, float unit, const std::string& path);
// PNG (cairo): `scale` pixels per user unit, `margin` pixels around the
// drawing; outline black, fill red, hatch polylines blue.
int WritePng(const Layers& layers, float unit, double scale, double margin,
             const std::string& path);
// JSON: the integer records of each layer, the box, the carets, the line
// and character counts and the vertical metrics.
int WriteJson(const Layers& layers, const std::string& text, float unit, const std::string& path);

// Writes the layers of the text laid out now as the file's name asks: .dxf,
// .png (`png_scale` pixels per user unit, `margin` pixels) or .json. Returns
// false for any other name (nothing written); else `result` is the writer's.
bool WriteLayerFile(const std::string& path, const std::string& text, float unit, double png_scale,
                    double margin, int& result);

}  // namespace vuzodo_cli
