#include "TTFText.h"

#include "GlyphPlacement.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <memory>
#include <utility>

#include "CharBufferHolder.h"
#include "FontDataHolder.h"
#include "Limits.h"
#include "QELEntity.h"
#include "QELPolyLine.h"
#include "QELUtility.h"
#include "RecordStream.h"
#include "TTFLoader.h"
#include "qelhatching/qelhatching.h"

namespace vuzodo {

namespace {

// What the layout reads of a font, in font metric units (already normalised).
struct FontFacts {
  double box_top = 0.0, box_bottom = 0.0;  // font bounding box
};

FontFacts ReadFontFacts(const FontDataHolder& font) {
  const OUTLINETEXTMETRICW& otm = font.GetOutlineTextMetrics();
  return FontFacts{static_cast<double>(otm.otmrcFontBox.top),
                   static_cast<double>(otm.otmrcFontBox.bottom)};
}

// The six glyph metrics of the layout: black box width and height, glyph
// origin x and y, cell increment x and y.
using Glyph = placement::GlyphMetrics;

Glyph GlyphOf(const CharBufferHolder* ch) {
  return placement::MetricsOf(ch);
}

// Rotation x shear x scale, with the direction mirrors; (e, f) per character.
using GlyphTransform = placement::Affine;

// Everything set up once per line: step values derived from the settings.
struct LineSetup {
  FontDataHolder* font = nullptr;
  FontFacts facts;
  double unit = 1000.0, gap = 0.0;
  double hx = 1.0, hy = 1.0;
  double cphi = 1.0, sphi = 0.0, t = 0.0;
  double script_offset = 0.0;
  GlyphTransform m;
  LineMetricRecord metrics;  // the font's, at the line's height: the same for every character
};

LineSetup SetUp(TTFLoader& loader, const TTFState& line) {
  LineSetup s;
  s.font = loader.LoadFont(line.face_name, line.font_style);
  s.facts = ReadFontFacts(*s.font);
  s.unit = loader.Settings().unit_size;
  s.gap = line.horizontal_gap;
  s.hx = line.text_height * line.character_scale_x;
  s.hy = line.text_height * line.character_scale_y;
  s.cphi = std::cos(line.character_angle);
  s.sphi = std::sin(line.character_angle);
  s.t = std::tan(line.oblique_angle);
  double k = 1.0, o = 0.0;
  TTFText::ComputeScriptFactors(line, *s.font, k, o);
  // The offset is scaled with the height before the script scale applies.
  s.script_offset = o * s.hy;
  s.hx *= k;
  s.hy *= k;
  s.m.a = s.cphi * s.hx;
  s.m.c = s.sphi * s.hx;
  if (line.backward) {
    s.m.a = -s.m.a;
    s.m.c = -s.m.c;
  }
  s.m.b = (s.t * s.cphi - s.sphi) * s.hy;
  s.m.d = (s.t * s.sphi + s.cphi) * s.hy;
  if (line.upside_down) {
    s.m.b = -s.m.b;
    s.m.d = -s.m.d;
  }
  s.metrics = TTFText::LineMetricsOf(*s.font, s.hy);
  return s;
}

// Clones the character's outline and places it with the transform (see
// placement::PlaceOutline; `affine_arcs` for the single-line layout).
std::vector<CQELEntity*> PlaceOutline(const CharBufferHolder* ch, const GlyphTransform& m, double e,
                                      double f, bool affine_arcs) {
  return placement::PlaceOutline(ch, m, e, f, nullptr, affine_arcs);
}

// Stores a placed character on the line: `entities` when the outline was placed already, else
// the outline of `unplaced` placed by m with translation (e, f) while it is encoded. An outline
// that cannot be placed that way (anything but polylines) is placed first after all; for
// polylines both give the same values. `affine_arcs` as for PlaceOutline.
void AddToLine(TTFState& line, double x0, double y0, double x1, double y1,
               std::vector<CQELEntity*>& entities, const CharBufferHolder* unplaced,
               const GlyphTransform& m, double e, double f, bool affine_arcs) {
  if (unplaced != nullptr) {
    if (line.AddPlacedCharacter(x0, y0, x1, y1, unplaced->GetOutlines(), m.a, m.b, m.c, m.d, e,
                                f)) {
      return;
    }
    entities = PlaceOutline(unplaced, m, e, f, affine_arcs);
  }
  line.AddCharacter(x0, y0, x1, y1, entities);
}

// Sizes the line's streams and per-character lists for the characters of `text` up to its first
// line feed, before they are laid out, when their glyphs are polylines placed while encoded: the
// outline stream then grows once to what it will hold, not by steps that leave the old block beside
// the new one and part of the last unused. Left alone when anything may leave the line early (word
// wrap) or when a glyph holds other entities (their records are not counted here).
void ReserveStreams(TTFState& line, TTFLoader& loader, FontDataHolder* font,
                    std::u16string_view text) {
  if (line.word_wrap || !line.include_border) return;
  std::size_t outline = 0, characters = 0;
  for (const char16_t ch : text) {
    if (ch == 10) break;
    ++characters;
    outline += 1;  // the closing move
    if (ch == 9) continue;
    const CharBufferHolder* glyph = loader.LoadCharacter(font, ch);
    if (glyph == nullptr) continue;
    for (const CQELEntity* entity : glyph->GetOutlines()) {
      if (entity == nullptr) continue;
      if (entity->GetType() != CQELEntity::kPolyLine) return;
      // A move, the draws and the closing draw at most.
      outline += static_cast<const CQELPolyLine*>(entity)->GetPoints().size() + 1;
    }
  }
  // Geometric growth still, so that many short appends do not copy the stream each time.
  line.outline_stream.Grow(outline);
  line.fill_stream.Grow(characters);
  line.hatch_stream.Grow(characters);
  // The per-character lists too, by the streams' factor: by doubling they would keep up to
  // half of them unused.
  const auto reserve = [](auto& list, std::size_t more) { GrowList(list, list.size() + more); };
  reserve(line.outline_ends, characters);
  reserve(line.fill_ends, characters);
  reserve(line.hatch_ends, characters);
  reserve(line.advances, 2 * characters);
  reserve(line.character_boxes, characters);
  reserve(line.character_codes, characters);
  reserve(line.carets, characters + 1);
  reserve(line.line_metrics, characters + 1);
}

// The glyph's placement offset: rotation about its box centre, the move of a
// mirrored (backward) glyph by its advance along the baseline, and the lift of
// an upside-down glyph by its top. The single-line layout leaves the oblique
// term out of the upside-down shift (`oblique_upside`).
void GlyphOffsets(const TTFState& line, const LineSetup& s, const Glyph& g, bool oblique_upside,
                  double& off_x, double& off_y) {
  const double hw = (g.incx / 2.0) * s.hx;
  const double hc = (g.oy - g.bby / 2.0) * s.hy;
  const double dx = hw - hw * s.cphi + hc * s.sphi;
  const double dy = hc - hc * s.cphi - hw * s.sphi;
  if (!line.backward) {
    off_x = dx;
    off_y = s.script_offset + dy;
  } else {
    off_x = 2.0 * s.cphi * hw + dx;
    off_y = s.script_offset + dy + 2.0 * s.sphi * hw;
  }
  if (line.upside_down) {
    off_x -= g.oy * s.hy * s.sphi - (oblique_upside ? s.t * g.bbx * s.hx : 0.0);
    off_y += g.oy * s.hy * s.cphi;
  }
}

void LineStartCaret(TTFState& line, const LineSetup& s) {
  const CursorPosition caret{0.0f, static_cast<float>(s.facts.box_top * s.hy),
                             0.0f, static_cast<float>(s.facts.box_bottom * s.hy),
                             0.0f, 1};
  if (!line.carets.empty() && line.carets.back().lineStart == 1) {
    line.carets.back() = caret;
  } else {
    line.carets.push_back(caret);
  }
}

// The first stop right of the pen, in output units; negative when none.
double NextTabStop(const TTFState& line, double unit, double pen_x) {
  for (float stop : line.indent_list) {
    if (pen_x + 1e-8 < stop * unit) return stop * unit;
  }
  return -1.0;
}

// A line keeps only its own part of the text being laid out, the first `end` units of `text`:
// every line holding the whole rest would make a text of many lines cost the square of its
// length in memory.
void KeepOwnText(TTFState& line, std::u16string_view text, size_t end) {
  line.text_copy.assign(text.substr(0, end));
}

// A space or tab on the line at index 1 or later, searched from the end.
long FindBreak(const TTFState& line) {
  for (size_t k = line.character_codes.size(); k-- > 1;) {
    const unsigned short ch = line.character_codes[k];
    if (ch == 32 || ch == 9) return static_cast<long>(k);
  }
  return -1;
}

}  // namespace

namespace {

// The lists a layout adds to, walked in step on two lines.
template <typename F>
void ForEachList(TTFState& a, TTFState& b, F&& f) {
  f(a.character_codes, b.character_codes);
  f(a.fill_stream.codes, b.fill_stream.codes);
  f(a.fill_stream.values, b.fill_stream.values);
  f(a.outline_stream.codes, b.outline_stream.codes);
  f(a.outline_stream.values, b.outline_stream.values);
  f(a.hatch_stream.codes, b.hatch_stream.codes);
  f(a.hatch_stream.values, b.hatch_stream.values);
  f(a.fill_ends, b.fill_ends);
  f(a.outline_ends, b.outline_ends);
  f(a.hatch_ends, b.hatch_ends);
  f(a.character_boxes, b.character_boxes);
  f(a.ink_rectangles, b.ink_rectangles);
  f(a.cell_rectangles, b.cell_rectangles);
  f(a.advances, b.advances);
  f(a.carets, b.carets);
  f(a.line_metrics, b.line_metrics);
}

}  // namespace

// What an append may change, recorded before it starts. A layout only adds to the line it starts
// on (new records at the ends of its lists, the line start caret written over the last one) until
// a wrap cuts that line, and only pushes new lines; so list lengths, the last caret and the
// scalars suffice, and the line's earlier records are copied only when a wrap is about to cut it,
// at most once per call. Undone when destroyed before Commit.
class AppendUndo {
 public:
  AppendUndo(TTFLoader& loader, TTFState& line)
      : loader_(loader),
        line_(line),
        line_count_(loader.Lines().size()),
        mode_(loader.Settings().text_mode),
        text_copy_(std::move(line.text_copy)),
        has_text_copy_(line.has_text_copy),
        previous_character_(line.previous_character),
        character_count_(line.character_count),
        pen_position_x_(line.pen_position_x),
        pen_position_y_(line.pen_position_y),
        pen_(line.pen),
        maximum_ascent_(line.maximum_ascent),
        maximum_descent_(line.maximum_descent),
        maximum_line_gap_(line.maximum_line_gap),
        path_length_of_characters_(line.path_length_of_characters) {
    std::size_t i = 0;
    ForEachList(line, line, [&](auto& list, auto&) { sizes_[i++] = list.size(); });
    if (!line.carets.empty()) last_caret_ = line.carets.back();
  }
  AppendUndo(const AppendUndo&) = delete;
  AppendUndo& operator=(const AppendUndo&) = delete;
  ~AppendUndo() {
    if (!committed_) Undo();
  }

  void Commit() { committed_ = true; }

  // A wrap is about to move the tail of `line` to a new line.
  void BeforeCut(TTFState& line) {
    if (&line != &line_ || before_cut_ != nullptr) return;
    auto copy = std::make_unique<TTFState>();
    std::size_t i = 0;
    ForEachList(*copy, line, [&](auto& to, auto& from) {
      to.assign(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(sizes_[i++]));
    });
    before_cut_ = std::move(copy);
  }

 private:
  // Allocates nothing: lines are dropped, lists shortened or swapped back, scalars assigned.
  void Undo() noexcept {
    auto& lines = loader_.Lines();
    while (lines.size() > line_count_) lines.pop_back();
    loader_.Settings().text_mode = mode_;
    std::size_t i = 0;
    if (before_cut_ != nullptr) {
      ForEachList(line_, *before_cut_, [](auto& list, auto& before) { list.swap(before); });
    } else {
      ForEachList(line_, line_, [&](auto& list, auto&) {
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(sizes_[i++]), list.end());
      });
    }
    if (!line_.carets.empty()) line_.carets.back() = last_caret_;
    line_.text_copy = std::move(text_copy_);
    line_.has_text_copy = has_text_copy_;
    line_.previous_character = previous_character_;
    line_.character_count = character_count_;
    line_.pen_position_x = pen_position_x_;
    line_.pen_position_y = pen_position_y_;
    line_.pen = pen_;
    line_.maximum_ascent = maximum_ascent_;
    line_.maximum_descent = maximum_descent_;
    line_.maximum_line_gap = maximum_line_gap_;
    line_.path_length_of_characters = path_length_of_characters_;
  }

  TTFLoader& loader_;
  TTFState& line_;
  std::size_t line_count_;
  TextMode mode_;
  std::array<std::size_t, 16> sizes_{};
  CursorPosition last_caret_{};
  std::u16string text_copy_;
  bool has_text_copy_;
  unsigned short previous_character_;
  int character_count_;
  double pen_position_x_, pen_position_y_;
  NURBSPoint pen_;
  double maximum_ascent_, maximum_descent_, maximum_line_gap_;
  double path_length_of_characters_;
  std::unique_ptr<TTFState> before_cut_;  // the line's lists before the call, once a wrap cuts it
  bool committed_ = false;
};

void TTFText::Append(TTFState* line, const unsigned short* text, TextMode mode, bool ex) {
  AppendUndo undo(loader_, *line);
  undo_ = &undo;
  try {
    line->SetTextCopy(text);
    Layout(line, mode, ex);
  } catch (...) {
    undo_ = nullptr;
    throw;
  }
  undo_ = nullptr;
  undo.Commit();
}

void TTFText::ComputeScriptFactors(const TTFState& line, const FontDataHolder& font, double& scale,
                                   double& offset) {
  scale = 1.0;
  offset = 0.0;
  if (line.script_mode != 1 && line.script_mode != 2) return;
  const OUTLINETEXTMETRICW& otm = font.GetOutlineTextMetrics();
  const double top = otm.otmrcFontBox.top;
  const bool sub = line.script_mode == 1;
  const double size_y = sub ? otm.otmptSubscriptSize.y : otm.otmptSuperscriptSize.y;
  const double offset_y = sub ? otm.otmptSubscriptOffset.y : otm.otmptSuperscriptOffset.y;
  const double shift = std::min(std::max((sub ? 0.1 : 0.36) * top, offset_y), 1.5 * top);
  // A font box top of 0 leaves no ratio to take; the full size is used.
  double ratio = top != 0.0 ? size_y / top : 1.0;
  ratio = std::clamp(ratio, 0.5, 1.5);
  if (sub) {
    scale = line.subscript_size * ratio;
    offset = -(line.subscript_offset * shift * scale);
  } else {
    scale = line.superscript_size * ratio;
    offset = line.superscript_offset * shift * scale;
  }
}

LineMetricRecord TTFText::LineMetricsOf(const FontDataHolder& font, double y) {
  const TEXTMETRICW& tm = font.GetTextMetrics();
  const OUTLINETEXTMETRICW& otm = font.GetOutlineTextMetrics();
  return LineMetricRecord{static_cast<float>(tm.tmAscent * y),
                          static_cast<float>(-std::fabs(tm.tmDescent * y)),
                          static_cast<float>(static_cast<double>(otm.otmLineGap) * y)};
}

void TTFText::MoveTailToLine(size_t k, TTFState& nl, TTFState& old) {
  // Streams: everything after the break character moves.
  auto move_stream = [k](RecordStream& from, std::vector<StreamMark>& from_ends, RecordStream& to,
                         std::vector<StreamMark>& to_ends) {
    if (k >= from_ends.size()) return;
    const StreamMark cut_k = from.Clamp(from_ends[k]);
    const StreamMark keep = k == 0 ? StreamMark{} : from.Clamp(from_ends[k - 1]);
    const StreamMark base = to.End();
    to.AppendRange(from, cut_k, from.End());
    for (size_t j = k + 1; j < from_ends.size(); ++j) {
      to_ends.push_back(base + (from_ends[j] - from_ends[k]));
    }
    from.Truncate(keep);
    from_ends.resize(k);
  };
  move_stream(old.outline_stream, old.outline_ends, nl.outline_stream, nl.outline_ends);
  move_stream(old.fill_stream, old.fill_ends, nl.fill_stream, nl.fill_ends);
  move_stream(old.hatch_stream, old.hatch_ends, nl.hatch_stream, nl.hatch_ends);

  // Line metrics: both lines' maxima recomputed from their records.
  auto maxima = [](TTFState& line, const std::vector<LineMetricRecord>& records, size_t from,
                   size_t to) {
    line.maximum_ascent = line.maximum_descent = line.maximum_line_gap = 0.0;
    for (size_t j = from; j < to && j < records.size(); ++j) {
      line.maximum_ascent = std::max<double>(line.maximum_ascent, records[j].ascent);
      line.maximum_descent = std::min<double>(line.maximum_descent, records[j].descent);
      line.maximum_line_gap = std::max<double>(line.maximum_line_gap, records[j].line_gap);
    }
  };
  maxima(old, old.line_metrics, 0, k + 2);
  maxima(nl, old.line_metrics, k + 1, old.line_metrics.size());
  if (k + 1 < old.line_metrics.size()) {
    nl.line_metrics.insert(nl.line_metrics.end(), old.line_metrics.begin() + k + 1,
                           old.line_metrics.end());
  }
  old.line_metrics.resize(std::min(old.line_metrics.size(), k));

  // Carets: shifted so that the caret after the break character is at x 0.
  if (k + 1 < old.carets.size()) {
    const CursorPosition shift = old.carets[k + 1];
    for (size_t j = k + 1; j < old.carets.size(); ++j) {
      CursorPosition c = old.carets[j];
      c.topX -= shift.topX;
      c.bottomX -= shift.bottomX;
      c.lineStart = j == k + 1 ? 1 : 0;
      nl.carets.push_back(c);
    }
  }
  old.carets.resize(std::min(old.carets.size(), k + 1));

  // Characters and their boxes; the break character's box is dropped.
  if (k + 1 < old.character_codes.size()) {
    nl.character_codes.insert(nl.character_codes.end(), old.character_codes.begin() + k + 1,
                              old.character_codes.end());
  }
  old.character_codes.resize(std::min(old.character_codes.size(), k));
  if (k + 1 < old.character_boxes.size()) {
    nl.character_boxes.insert(nl.character_boxes.end(), old.character_boxes.begin() + k + 1,
                              old.character_boxes.end());
  }
  old.character_boxes.resize(std::min(old.character_boxes.size(), k));

  // Extents: their sums place the new line's pen and stream origin.
  double sx = 0.0, sy = 0.0;
  for (size_t j = 2 * (k + 1); j + 1 < old.advances.size(); j += 2) {
    nl.advances.push_back(old.advances[j]);
    nl.advances.push_back(old.advances[j + 1]);
    sx += old.advances[j];
    sy += old.advances[j + 1];
  }
  nl.pen_position_x = sx;
  nl.pen_position_y = sy;
  nl.pen = NURBSPoint(sx, sy);
  old.advances.resize(std::min(old.advances.size(), 2 * k));

  // The counts follow the characters kept on each line.
  old.character_count = static_cast<int>(old.character_codes.size());
  nl.character_count = static_cast<int>(nl.character_codes.size());
}

void TTFText::Layout(TTFState* line, TextMode mode, bool ex) {
  switch (mode) {
    case TextMode::kHorizontal:
      return ex ? LayoutLine(line) : LayoutLineSimple(line);
    case TextMode::kVertical:
      return ex ? LayoutVertical(line) : LayoutVerticalSimple(line);
    case TextMode::kPath:
      return ex ? LayoutPathText(line) : LayoutPathTextSimple(line);
  }
}

void TTFText::LayoutLine(TTFState* line) {
  // The appended text stays in this one buffer while it is split into lines, and each line is
  // given its own part when its layout ends: handing every new line the rest of the text would
  // copy a text of many lines once per line, the square of its length.
  const std::u16string text = std::move(line->text_copy);
  std::u16string_view rest = text;
  // Breaks continue on the next line in a loop rather than by recursion, so
  // that a text of many line feeds cannot exhaust the stack.
  while (line != nullptr) line = LayoutOneLine(line, rest);
}

TTFState* TTFText::LayoutOneLine(TTFState* line_ptr, std::u16string_view& rest) {
  TTFState& line = *line_ptr;
  TTFLoader& loader = loader_;
  const LineSetup s = SetUp(loader, line);
  const std::u16string_view text = rest;
  double pen_x = line.pen_position_x;
  unsigned short previous = line.previous_character;
  double off_x = 0.0, off_y = 0.0;
  // Without a hatch pattern a glyph's outline is placed while it is encoded (no copies).
  const bool hatching = qelhatching::HasPatterns();
  if (!hatching) ReserveStreams(line, loader, s.font, text);

  for (size_t i = 0; i < text.size(); ++i) {
    const unsigned short ch = text[i];
    ++line.character_count;
    if (line.character_count == 1) {
      LineStartCaret(line, s);
    } else {
      pen_x += s.gap;
    }
    const double x0 = line.pen.GetX(), y0 = line.pen.GetY();

    if (ch == 10) {
      TTFState* next = loader.PushLine(std::u16string_view());
      line.character_count -= 1;
      UpdateLineMetrics(line, s.metrics);
      UpdateLineMetrics(*next, s.metrics);
      next->carets.push_back(CursorPosition{0.0f, static_cast<float>(s.facts.box_top * s.hy), 0.0f,
                                            static_cast<float>(s.facts.box_bottom * s.hy), 0.0f,
                                            1});
      KeepOwnText(line, text, i);
      rest = text.substr(i + 1);
      return next;
    }

    Glyph g;
    std::vector<CQELEntity*> entities;
    // The glyph left to place while it is encoded, with its translation (e, f).
    const CharBufferHolder* unplaced = nullptr;
    double place_e = 0.0, place_f = 0.0;
    CharacterBox box;
    if (ch == 9) {
      const double stop = NextTabStop(line, s.unit, pen_x);
      if (stop >= 0.0) {
        g.bbx = g.incx = (stop - pen_x) / s.hx;
      } else {
        g = GlyphOf(loader.LoadCharacter(s.font, 32));
      }
      box = placement::PlaceBox(g, s.m, pen_x + off_x - x0, off_y - y0);
      UpdateLineMetrics(line, s.metrics);
    } else {
      UpdateLineMetrics(line, s.metrics);
      const CharBufferHolder* glyph = loader.LoadCharacter(s.font, ch);
      g = GlyphOf(glyph);
      GlyphOffsets(line, s, g, true, off_x, off_y);
      // Kerning moves this character and everything after it.
      if (line.auto_kern) pen_x += s.font->GetKernAmount(previous, ch) * s.hx;
      place_e = pen_x + off_x;
      place_f = off_y;
      if (hatching || glyph == nullptr) {
        entities = PlaceOutline(glyph, s.m, place_e, place_f, false);
      } else {
        unplaced = glyph;
      }
      box = placement::PlaceBox(g, s.m, pen_x + off_x - x0, off_y - y0, line.backward,
                                line.upside_down);
    }

    // The corner where the next character starts, and word wrap.
    const double cx = box.x[1] + x0, cy = box.y[1] + y0;
    // Past the last line a text may have, word wrap breaks no more: the rest stays on the line.
    if (line.word_wrap && loader.Settings().text_box_width * s.unit < cx &&
        loader.Lines().size() < limits::kMaxTextLines) {
      const long k = FindBreak(line);
      if (k >= 0) {
        DeleteEntities(entities);
        TTFState* next = loader.PushLine(std::u16string_view());
        if (undo_ != nullptr) undo_->BeforeCut(line);
        MoveTailToLine(static_cast<size_t>(k), *next, line);
        KeepOwnText(line, text, i);
        rest = text.substr(i);
        return next;
      }
    }

    const double mx = std::max({box.x[0], box.x[1], box.x[2], box.x[3]});
    line.carets.push_back(CursorPosition{
        static_cast<float>(mx + x0), static_cast<float>(s.facts.box_top * s.hy),
        static_cast<float>(mx + x0), static_cast<float>(s.facts.box_bottom * s.hy), 0.0f, 0});
    line.character_boxes.push_back(box);
    pen_x += g.incx * s.hx;
    // Extents, the three streams and the hatching exchange.
    AddToLine(line, x0, y0, cx, cy, entities, unplaced, s.m, place_e, place_f, false);
    line.character_codes.push_back(ch);
    previous = ch;
  }
  line.previous_character = previous;
  line.pen_position_x = pen_x;
  KeepOwnText(line, text, text.size());
  return nullptr;
}

void TTFText::LayoutLineSimple(TTFState* line_ptr) {
  TTFState& line = *line_ptr;
  TTFLoader& loader = loader_;
  const LineSetup s = SetUp(loader, line);
  const std::u16string text = line.text_copy;
  double pen_x = line.pen_position_x;
  unsigned short previous = line.previous_character;
  // The transform's x column without the width scale: the direction of the
  // advance along the rotated (and possibly mirrored) baseline.
  const double ux = s.m.a / s.hx, uy = s.m.c / s.hx;
  const bool hatching = qelhatching::HasPatterns();

  for (const char16_t c16 : text) {
    const unsigned short ch = c16;
    const double p = pen_x;
    ++line.character_count;
    if (line.character_count != 1) pen_x += s.gap;
    const double x0 = line.pen.GetX(), y0 = line.pen.GetY();
    const CharBufferHolder* glyph = loader.LoadCharacter(s.font, ch);
    const Glyph g = GlyphOf(glyph);
    const double hw = (g.incx / 2.0) * s.hx;
    const double hc = (g.oy - g.bby / 2.0) * s.hy;
    double off_x = 0.0, off_y = 0.0;
    GlyphOffsets(line, s, g, false, off_x, off_y);
    if (line.auto_kern) pen_x += s.font->GetKernAmount(previous, ch) * s.hx;
    const double place_e = pen_x + off_x;
    std::vector<CQELEntity*> entities;
    if (hatching || glyph == nullptr) entities = PlaceOutline(glyph, s.m, place_e, off_y, true);
    line.ink_rectangles.push_back(Rect4{g.ox * s.hx + pen_x - p, (g.oy - g.bby) * s.hy,
                                        (g.ox + g.bbx) * s.hx + pen_x - p, g.oy * s.hy});
    line.cell_rectangles.push_back(
        Rect4{0.0, (g.oy - g.bby) * s.hy, pen_x + off_x + g.incx * s.hx - p, g.oy * s.hy});
    const double cx = 2.0 * ux * hw + pen_x + off_x;
    const double cy = 2.0 * uy * hc + off_y;
    pen_x += g.incx * s.hx;
    AddToLine(line, x0, y0, cx, cy, entities, hatching ? nullptr : glyph, s.m, place_e, off_y,
              true);
    line.character_codes.push_back(ch);
    previous = ch;
  }
  line.previous_character = previous;
  line.pen_position_x = pen_x;
}

}  // namespace vuzodo
