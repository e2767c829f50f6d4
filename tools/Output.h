// Drawing files from the engine's records: SVG, DXF, PNG and JSON. Every writer takes the same
// streams, fetched once, under the same names: outline, fill and hatch.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "Machine.h"

namespace vuzodo_cli {

// Frees an array the engine returned.
struct FreeRecords {
  void operator()(int* data) const;
};

// The three streams of the current text, each as the host's int records
// (whole text, lines placed in the box), and the text's box. The records stay in the arrays
// the engine returned: a copy would double the largest thing a render holds.
struct Layers {
  std::span<const int> outline;  // return type 0: the characters' outlines
  std::span<const int> fill;     // return type 1: hatch segments
  std::span<const int> hatch;    // return type 2: hatch polylines
  float box[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  std::unique_ptr<int, FreeRecords> owned[3];  // the engine's arrays behind the spans
  std::vector<int> kept[3];  // or records the command made itself (--weld), same order

  // Makes `records` the stream k (0 outline, 1 fill, 2 hatch), held here. A moved Layers keeps
  // its spans: a moved vector keeps its buffer.
  void Keep(int k, std::vector<int> records);
};

// The names of the streams, in the order of Layers; the files, --return and -t use them.
inline constexpr const char* kStreamNames[3] = {"outline", "fill", "hatch"};

// Fetches the layers of the text laid out now.
Layers FetchLayers();

// One record list cut into chains with absolute coordinates (output units).
struct Stroke {
  std::vector<double> x, y;
  // bulge[i]: the segment from point i to the next (for a closed stroke the last one runs back
  // to the first) is an arc turning by 4 atan(bulge), counter-clockwise when positive; 0 is a
  // straight segment.
  std::vector<double> bulge;
  bool closed = false;  // the last point came back to the first
};
struct Geometry {
  std::vector<Stroke> strokes;
  std::vector<std::pair<double, double>> dots;
};
Geometry ToGeometry(std::span<const int> records);

// The circle a bulged segment runs on: centre, radius and its turn, 4 atan(bulge) radians,
// counter-clockwise when positive.
struct BulgeCircle {
  double cx, cy, radius, turn;
};
BulgeCircle ArcOfBulge(double x0, double y0, double x1, double y1, double bulge);

// Calls segment(x0, y0, x1, y1, bulge) for each segment of a stroke, the closing one included.
template <typename F>
void Segments(const Stroke& s, F segment) {
  const size_t n = s.x.size();
  for (size_t i = 0; i + 1 < n + (s.closed ? 1 : 0); ++i) {
    const size_t j = (i + 1) % n;
    segment(s.x[i], s.y[i], s.x[j], s.y[j], s.bulge[i]);
  }
}

// The path a text is laid on, drawn thin and grey under it in SVG.
struct Guide {
  std::string svg;  // output units, y already turned down
  double min_x = 1e300, min_y = 1e300, max_x = -1e300, max_y = -1e300;
  void Widen(double x, double y);
  // Points in output units, y up.
  void Polyline(const std::vector<std::pair<double, double>>& points);
};

// Where (0, 0) of the SVG and DXF drawing lies.
enum class Anchor {
  kBaseline,  // the first line's baseline at y = 0, x as laid out (paths keep their coordinates)
  kTopLeft,   // the top-left corner of everything drawn
  kCentre,    // the centre of everything drawn
};

// --optimize and the points a drawing starts and ends at.
struct OrderOptions {
  bool optimize = false;
  double budget = 1.0;             // s the improvement of the first order may take
  std::vector<double> start, end;  // x, y in mm from the drawing's origin; empty: (0, 0)
};

// What a writer needs beside the streams.
struct OutputOptions {
  std::string text;          // as given, for JSON
  float unit = 1000.0f;      // output units per user unit
  double png_scale = 100.0;  // PNG pixels per user unit
  double margin = 10.0;      // PNG margin, pixels
  Anchor anchor = Anchor::kBaseline;
  bool on_path = false;      // the text lies on a path given in absolute coordinates
  double unit_length = 1.0;  // one user unit is unit_length unit_name (SVG size, DXF units)
  std::string unit_name = "mm";
  std::string format;  // svg, dxf, png, json, gcode or hpgl; "" from the file's name
  Guide guide;
  MachineOptions machine;        // G-code, HPGL and the estimate
  OrderOptions order;            // the drawing order of SVG, DXF, G-code, HPGL and the estimate
  std::optional<Layers> layers;  // the streams to write (--weld); none: the engine's
};

// The streams a writer draws: o.layers, else the engine's, fetched into `fetched`.
const Layers& StreamsOf(const OutputOptions& o, Layers& fetched);

// mm per output unit: what the machine outputs and --start and --end measure in.
double MillimetresPerUnit(const OutputOptions& o);

// "1mm", "0.1in", "2.5", ...: one user unit as a length (mm when no unit is named). Returns ""
// or why the text is not one.
std::string ParseUserUnit(const std::string& text, double& length, std::string& name);

// The longest side and the pixel count a PNG may have; larger drawings are scaled to fit.
inline constexpr int kMaxPngSide = 16384;
inline constexpr long kMaxPngPixels = 16L * 1024 * 1024;

// Writes `path` through a temporary file beside it, renamed over the target only once `write`
// (given the temporary's path) returns "": a failed write leaves neither a partial drawing nor
// the temporary. Otherwise prints "vuzodo: cannot write PATH: REASON" with what `write` or the
// system returned, and returns 1; else 0. A path of "-" copies the written file to standard
// output.
int WriteAtomically(const std::string& path,
                    const std::function<std::string(const std::string& temp)>& write);

// Writers of one file each, returning "" or why the file could not be written.
std::string WriteSvgFile(const Layers& layers, const OutputOptions& o, const std::string& path);
std::string WriteDxfFile(const Layers& layers, const OutputOptions& o, const std::string& path);
std::string WritePngFile(const Layers& layers, const OutputOptions& o, const std::string& path);
std::string WriteJsonFile(const Layers& layers, const OutputOptions& o, const std::string& path);

// What the anchor adds to every coordinate of the drawing, output units.
std::pair<double, double> DrawingShift(const OutputOptions& o, const Geometry (&g)[3]);

// The format a path asks for: o.format, else its ending (.dxf, .png, .json, .gcode, .nc,
// .hpgl, .plt; anything else SVG).
std::string OutputFormat(const std::string& path, const OutputOptions& o);

// Writes the streams of the text laid out now to `path` ("-": standard output) in its format.
// Returns 0, or 1 after a one-line error.
int WriteOutput(const std::string& path, const OutputOptions& o);

}  // namespace vuzodo_cli
