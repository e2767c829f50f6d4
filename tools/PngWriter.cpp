// The PNG writer: the streams stroked with cairo on a canvas within the pixel cap.
#include "Drawing.h"

#include <cairo.h>

#include <sstream>

namespace vuzodo_cli {

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

}  // namespace vuzodo_cli
