// Column layout: the characters of an append stacked top to bottom, each cell
// centred on the column axis x = 0, the pen moving down by one font line height
// plus the vertical gap per character.
#include <cmath>
#include <cstdint>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "GlyphPlacement.h"
#include "QELEntity.h"
#include "TTFLoader.h"
#include "TTFText.h"

namespace vuzodo {

namespace {

using placement::Affine;
using placement::GlyphMetrics;

// `simple`: per character an ink and a cell rectangle instead of a character
// box and a caret, and the cell's far corner as the stream corner.
void LayoutColumn(TTFLoader& loader, TTFState& line, bool simple) {
  FontDataHolder* font = loader.LoadFont(line.face_name, line.font_style);
  const OUTLINETEXTMETRICW& otm = font->GetOutlineTextMetrics();
  const double hx = line.text_height * line.character_scale_x;
  const double hy = line.text_height * line.character_scale_y;
  const double cphi = std::cos(line.character_angle), sphi = std::sin(line.character_angle);
  const double t = std::tan(line.oblique_angle);
  // One line height of the font. The sum is taken as an unsigned 32-bit
  // value: a font whose descent lies above its ascent steps a long way down
  // rather than up.
  const std::uint32_t line_height = static_cast<std::uint32_t>(otm.otmAscent) + otm.otmLineGap -
                                    static_cast<std::uint32_t>(otm.otmDescent);
  const double step = line_height * hy + line.vertical_gap;

  Affine m;
  m.a = cphi * hx;
  m.c = sphi * hx;
  if (line.backward) {
    m.a = -m.a;
    m.c = -m.c;
  }
  m.b = (t * cphi - sphi) * hy;
  m.d = (t * sphi + cphi) * hy;
  if (line.upside_down) {
    m.b = -m.b;
    m.d = -m.d;
  }

  // The gap is added once here and taken away again by the first step, so the
  // first baseline lies one line height below the stored pen.
  double pen_y = line.pen_position_y + line.vertical_gap;
  unsigned short previous = line.previous_character;
  const std::u16string text = line.text_copy;
  for (const char16_t c16 : text) {
    const unsigned short ch = c16;
    ++line.character_count;
    const CharBufferHolder* glyph = loader.LoadCharacter(font, ch);
    const GlyphMetrics g = placement::MetricsOf(glyph);
    pen_y -= step;

    // Rotation about the cell centre; the cell is centred on x = 0.
    const double hw = (g.incx / 2.0) * hx;
    const double hc = (g.oy - g.bby / 2.0) * hy;
    const double dx = hc * sphi + hw - hw * cphi;
    const double dy = hc - hc * cphi - hw * sphi;
    double off_x = 0.0, off_y = 0.0;
    if (!line.backward) {
      off_x = -hw + dx;
      off_y = dy;
    } else {
      off_x = 2.0 * cphi * hw - hw + dx;
      off_y = 2.0 * sphi * hw + dy;
    }
    if (line.upside_down) {
      off_x -= g.oy * hy * sphi;
      off_y += g.oy * hy * cphi;
    }
    std::vector<CQELEntity*> entities =
        placement::PlaceOutline(glyph, m, off_x, pen_y + off_y, nullptr);

    const double x0 = line.pen.GetX(), y0 = line.pen.GetY();
    double cx = 0.0, cy = 0.0;
    if (!simple) {
      // The box takes the same lift as the outline (offY), so that it holds
      // the glyph also when turned or mirrored.
      const CharacterBox box = placement::PlaceBox(g, m, off_x - x0, pen_y + off_y - y0,
                                                   line.backward, line.upside_down);
      // The caret is the lower edge of the box, from its first to its second corner.
      line.carets.push_back(CursorPosition{
          static_cast<float>(box.x[0] + x0), static_cast<float>(box.y[0] + y0),
          static_cast<float>(box.x[1] + x0), static_cast<float>(box.y[1] + y0), 0.0f, 0});
      line.character_boxes.push_back(box);
      cx = box.x[1] + x0;
      cy = box.y[1] + y0;
    } else {
      line.ink_rectangles.push_back(
          Rect4{g.ox * hx - hw, (g.oy - g.bby) * hy, (g.ox + g.bbx) * hx - hw, g.oy * hy});
      line.cell_rectangles.push_back(Rect4{-hw, (g.oy - g.bby) * hy, hw, g.oy * hy});
      // Odd but kept: the transform's x column already carries hx and hw, hc
      // carry the size again, so only with height and scale 1 is this the
      // cell's far corner. Streams and advances agree with it either way.
      cx = 2.0 * m.a * hw + off_x;
      cy = 2.0 * m.c * hc + pen_y + off_y;
    }
    line.AddCharacter(x0, y0, cx, cy, entities);
    line.character_codes.push_back(ch);
    previous = ch;
  }
  line.previous_character = previous;
  line.pen_position_y = pen_y;
}

}  // namespace

void TTFText::LayoutVertical(TTFState* line) {
  if (line != nullptr) LayoutColumn(loader_, *line, false);
}

void TTFText::LayoutVerticalSimple(TTFState* line) {
  if (line != nullptr) LayoutColumn(loader_, *line, true);
}

}  // namespace vuzodo
