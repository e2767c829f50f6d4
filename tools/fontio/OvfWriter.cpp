#include "OvfWriter.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "ArcGeometry.h"

namespace vuzodo_fontio {

namespace {

void PutWord(std::vector<std::uint8_t>& out, std::int32_t value) {
  const auto v = static_cast<std::uint32_t>(value);
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutReal(std::vector<std::uint8_t>& out, float value) {
  PutWord(out, static_cast<std::int32_t>(std::bit_cast<std::uint32_t>(value)));
}

// A name takes its code units, the terminator and one more zero unit when needed to end on a
// 4-byte boundary: L units occupy L + 2 - (L mod 2).
void PutName(std::vector<std::uint8_t>& out, const std::u16string& name) {
  const std::size_t units = name.size() + 2 - name.size() % 2;
  for (std::size_t i = 0; i < units; ++i) {
    const char16_t u = i < name.size() ? name[i] : u'\0';
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  }
}

// Size of one table entry: code, five reals, record count, then 32 bytes per record.
std::size_t EntrySize(const OvfGlyph& g) {
  return 28 + 32 * g.placements.size();
}

}  // namespace

void OvfDrawing::Word(std::int32_t value) {
  PutWord(bytes_, value);
}
void OvfDrawing::Real(float value) {
  PutReal(bytes_, value);
}

void OvfDrawing::Advance(float advance) {
  Word(0);
  Real(advance);
  Word(0);  // the word after the advance is not used
}

void OvfDrawing::Polyline(const std::vector<std::array<float, 2>>& points, bool closed) {
  Word(2);
  Word(static_cast<std::int32_t>(points.size()));
  Word(closed ? 1 : 0);
  for (const auto& p : points) {
    Real(p[0]);
    Real(p[1]);
  }
}

void OvfDrawing::CircularArc(float cx, float cy, float radius, float start, float sweep) {
  Word(3);
  for (float v : {cx, cy, radius, start, sweep}) Real(v);
}

void OvfDrawing::Dot(float x, float y) {
  Word(6);
  Real(x);
  Real(y);
}

std::vector<std::uint8_t> WriteOvf(const OvfFont& font) {
  std::vector<std::uint8_t> out;
  PutWord(out, font.word0);
  PutWord(out, font.word1);
  PutName(out, font.name);
  PutName(out, font.second_name);
  for (float h : font.header) PutReal(out, h);

  std::size_t data_at = out.size();
  for (const OvfGlyph& g : font.glyphs) data_at += EntrySize(g);
  for (const OvfGlyph& g : font.glyphs) {
    PutWord(out, g.code);
    for (float v : {g.e0, g.e1, g.e2, g.bottom, g.top}) PutReal(out, v);
    PutWord(out, static_cast<std::int32_t>(g.placements.size()));
    for (const OvfPlacement& p : g.placements) {
      for (float m : p.matrix) PutReal(out, m);
      PutWord(out, static_cast<std::int32_t>(p.data.size()));
      PutWord(out, static_cast<std::int32_t>(data_at));
      data_at += p.data.size();
    }
  }
  for (const OvfGlyph& g : font.glyphs) {
    for (const OvfPlacement& p : g.placements) out.insert(out.end(), p.data.begin(), p.data.end());
  }
  PutWord(out, static_cast<std::int32_t>(font.glyphs.size()));
  PutWord(out, static_cast<std::int32_t>(out.size()));  // X: the trailer's own offset
  PutWord(out, font.trailer_word);
  return out;
}

OvfGlyph OvfGlyphFromRecords(const RecordGlyph& glyph, double unit) {
  const auto u = [unit](double v) { return static_cast<float>(v / unit); };
  OvfDrawing drawing;
  drawing.Advance(u(glyph.advance));

  // Pen positions stay integers (the records are), so a run that returns to its start is
  // recognised exactly.
  long x = 0, y = 0;
  std::vector<std::array<long, 2>> run;
  const auto flush = [&] {
    if (run.size() >= 2) {
      const bool closed = run.size() >= 3 && run.front() == run.back();
      if (closed) run.pop_back();
      std::vector<std::array<float, 2>> points;
      for (const auto& p : run) points.push_back({u(p[0]), u(p[1])});
      drawing.Polyline(points, closed);
    }
    run.clear();
  };

  const std::vector<int>& r = glyph.records;
  for (std::size_t p = 0; p < r.size();) {
    const int length = RecordLength(r[p]);
    if (length == 0 || p + length > r.size()) break;
    const long nx = x + r[p + 1], ny = y + r[p + 2];
    switch (r[p]) {
      case kDraw:
        if (run.empty()) run.push_back({x, y});
        run.push_back({nx, ny});
        break;
      case kArc: {
        flush();
        RecordArc arc = ArcFromRecord(static_cast<double>(x), static_cast<double>(y), r[p + 1],
                                      r[p + 2], r[p + 3], r[p + 4]);
        // Records hold at most a quarter turn; with the ends rounded to integers the angle
        // between them can exceed it by a hair, which a reader would draw as a second, empty
        // piece. Keep it one piece.
        const float quarter = static_cast<float>(std::numbers::pi / 2);
        const float sweep = std::clamp(static_cast<float>(arc.sweep), -quarter, quarter);
        drawing.CircularArc(u(arc.cx), u(arc.cy), u(arc.radius), static_cast<float>(arc.start),
                            sweep);
        break;
      }
      case kDot:
        flush();
        drawing.Dot(u(static_cast<double>(nx)), u(static_cast<double>(ny)));
        break;
      default:  // a move ends the run
        flush();
        break;
    }
    x = nx;
    y = ny;
    p += length;
  }
  flush();

  OvfGlyph out;
  out.code = glyph.code;
  if (const auto box = RecordInkBox(glyph.records)) {
    out.e0 = u(box->min_x);
    out.e1 = u(box->max_x - box->min_x);
    out.e2 = u(glyph.advance - box->max_x);
    out.bottom = u(box->min_y);
    out.top = u(box->max_y);
  } else {
    out.e2 = u(glyph.advance);
  }
  out.placements.push_back(OvfPlacement{{1, 0, 0, 1, 0, 0}, drawing.Bytes()});
  return out;
}

}  // namespace vuzodo_fontio
