// Text on a path: each character centred on the path point at its arc-length
// position, turned to the path direction there, lifted off the path along the
// left normal by the spacing and the alignment line, and, when asked, bent so
// that its left and right edges follow the path normals.
#include <cmath>
#include <numbers>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "GlyphPlacement.h"
#include "NurbPath.h"
#include "QELEntity.h"
#include "TTFLoader.h"
#include "TTFText.h"

namespace vuzodo {

namespace {

using placement::Affine;
using placement::Bilinear;
using placement::GlyphMetrics;

// Distance of the baseline from the path along its left normal, output units,
// for the line's alignment (which font line sits on the path) and spacing.
// Held in single precision.
float NormalOffset(const TTFState& line, const FontDataHolder& font, double hy, double unit) {
  const OUTLINETEXTMETRICW& otm = font.GetOutlineTextMetrics();
  const TEXTMETRICW& tm = font.GetTextMetrics();
  const double spacing = line.path_spacing * unit;
  switch (line.path_text_alignment) {
    case 1:
      return static_cast<float>(spacing - otm.otmAscent * hy);  // ascent line
    case 2:
      return static_cast<float>(spacing + tm.tmDescent * hy);  // descent line
    case 3:
      return static_cast<float>(spacing - otm.otmsStrikeoutPosition * hy);
    default:
      return static_cast<float>(spacing);  // baseline
  }
}

// The bend of a character that starts at arc length s and is `width` long:
// glyph verticals fan out between the path normals at its two ends, about
// the path line, which lies q = d / hy glyph units below the baseline. On a
// straight stretch it is the identity. False when the glyph has no width to
// spread the bend over.
bool BendAt(const NurbPath& path, double s, double width, double theta, double incx, float d,
            double hy, Bilinear& out) {
  if (incx == 0.0 || hy == 0.0) return false;
  constexpr double kQuarter = std::numbers::pi / 2.0;
  const double a0 = path.AngleAtLength(static_cast<float>(s)) + kQuarter - theta;
  const double a1 = path.AngleAtLength(static_cast<float>(s + width)) + kQuarter - theta;
  const double q = d / hy;
  const double kx = (std::cos(a1) - std::cos(a0)) / incx;
  const double ky = (std::sin(a1) - std::sin(a0)) / incx;
  out = Bilinear{1.0 + kx * q, std::cos(a0), ky * q,           std::sin(a0),
                 kx,           ky,           q * std::cos(a0), q * (std::sin(a0) - 1.0)};
  return true;
}

// `simple`: no alignment, spacing, bending or line metrics, the gap before
// every character, and per character an ink and a cell rectangle instead of
// a character box and a caret.
void LayoutAlongPath(TTFLoader& loader, TTFState& line, bool simple) {
  FontDataHolder* font = loader.LoadFont(line.face_name, line.font_style);
  const NurbPath* path = line.path.get();
  if (path == nullptr) return;

  double hx = line.text_height * line.character_scale_x;
  double hy = line.text_height * line.character_scale_y;
  const double phi = line.character_angle;
  const double cphi = std::cos(phi), sphi = std::sin(phi);
  const double t = std::tan(line.oblique_angle);
  double k = 1.0, o = 0.0;
  TTFText::ComputeScriptFactors(line, *font, k, o);
  hx *= k;
  hy *= k;
  // Unlike on a straight line, the script offset is scaled with the script
  // height; it lifts the glyph along the path normal.
  o *= hy;
  float d = 0.0f;
  if (!simple) {
    TTFText::UpdateLineMetrics(line, *font, hy);
    d = NormalOffset(line, *font, hy, loader.Settings().unit_size);
  }

  double s = line.path_length_of_characters;  // arc length, output units
  unsigned short previous = line.previous_character;
  const std::u16string text = line.text_copy;
  for (const char16_t c16 : text) {
    const unsigned short ch = c16;
    const CharBufferHolder* glyph = loader.LoadCharacter(font, ch);
    const GlyphMetrics g = placement::MetricsOf(glyph);
    const double hw = (g.incx / 2.0) * hx;
    if (simple || line.character_count != 0) s += line.horizontal_gap;

    // The centre of the cell on the baseline; a character whose far edge
    // would pass the path's end ends the call, and later ones are dropped.
    double px = 0.0, py = 0.0, theta = 0.0;
    if (!path->PointAtLength(static_cast<float>(s + hw), static_cast<float>(hw), px, py, theta)) {
      break;
    }
    const double ct = std::cos(theta), st = std::sin(theta);
    px -= st * d;
    py += ct * d;
    ++line.character_count;

    const double ca = std::cos(theta + phi), sa = std::sin(theta + phi);
    // Rotation about the box centre by the character angle alone.
    const double hc = (g.oy - g.bby / 2.0) * hy;
    const double dx = hc * sphi + hw - hw * cphi;
    const double dy = hc - hc * cphi - hw * sphi;
    // The glyph transform is held in single precision.
    Affine m;
    m.a = static_cast<float>(ca * hx);
    m.c = static_cast<float>(sa * hx);
    m.b = static_cast<float>((t * ca - sa) * hy);
    m.d = static_cast<float>((t * sa + ca) * hy);
    if (line.backward) {
      m.a = -m.a;
      m.c = -m.c;
    }
    if (line.upside_down) {
      m.b = -m.b;
      m.d = -m.d;
    }
    // Offsets from the path point, which is the cell's centre on the baseline.
    double off_x = 0.0, off_y = 0.0;
    if (!line.backward) {
      off_x = (dx * ct - dy * st) - hw * ct;
      off_y = (dy * ct + dx * st) - hw * st;
    } else {
      off_x = (2.0 * ca - ct) * hw + (dx * ct - dy * st);
      off_y = (2.0 * sa - st) * hw + dy * ct + dx * st;
    }
    if (line.upside_down) {
      off_x -= g.oy * hy * sa;
      off_y += g.oy * hy * ca;
    }
    const double e = px + off_x - st * o;
    const double f = py + off_y + ct * o;

    Bilinear bend;
    const bool bent = !simple && line.deform_path_characters &&
                      BendAt(*path, s, g.incx * hx, theta, g.incx, d, hy, bend);
    std::vector<CQELEntity*> entities =
        placement::PlaceOutline(glyph, m, e, f, bent ? &bend : nullptr);

    const double x0 = line.pen.GetX(), y0 = line.pen.GetY();
    double cx = 0.0, cy = 0.0;
    if (!simple) {
      const CharacterBox box =
          placement::PlaceBox(g, m, e - x0, f - y0, line.backward, line.upside_down);
      line.character_boxes.push_back(box);
      // The caret is the box's right edge, from its lower to its upper corner.
      line.carets.push_back(CursorPosition{
          static_cast<float>(box.x[1] + x0), static_cast<float>(box.y[1] + y0),
          static_cast<float>(box.x[2] + x0), static_cast<float>(box.y[2] + y0), 0.0f, 0});
      cx = box.x[1] + x0;
      cy = box.y[1] + y0;
    } else {
      line.ink_rectangles.push_back(
          Rect4{g.ox * hx - hw, (g.oy - g.bby) * hy, (g.ox + g.bbx) * hx - hw, g.oy * hy});
      line.cell_rectangles.push_back(Rect4{-hw, (g.oy - g.bby) * hy, hw, g.oy * hy});
      // Single precision, and odd but kept: the x column already carries hx
      // and hw, hc carry the size again, so only with height and scale 1 is
      // this the cell's far corner. Streams and advances agree either way.
      const float fa = static_cast<float>(m.a), fc = static_cast<float>(m.c);
      cx = 2.0f * fa * static_cast<float>(hw) + static_cast<float>(e);
      cy = 2.0f * fc * static_cast<float>(hc) + static_cast<float>(f);
    }
    line.AddCharacter(x0, y0, cx, cy, entities);
    line.character_codes.push_back(ch);
    s += g.incx * hx;
    previous = ch;
  }
  // Also after an early stop: the position is then where the character that
  // did not fit would have started (after its gap).
  line.previous_character = previous;
  line.path_length_of_characters = s;
}

}  // namespace

void TTFText::LayoutPathText(TTFState* line) {
  if (line != nullptr) LayoutAlongPath(loader_, *line, false);
}

void TTFText::LayoutPathTextSimple(TTFState* line) {
  if (line != nullptr) LayoutAlongPath(loader_, *line, true);
}

}  // namespace vuzodo
