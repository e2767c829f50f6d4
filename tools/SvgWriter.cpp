// The SVG writer: one group per stream, one path of its chains, its dots as circles.
#include "Drawing.h"

#include <sstream>

namespace vuzodo_cli {

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

}  // namespace vuzodo_cli
