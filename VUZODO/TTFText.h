// Horizontal line layout: characters become transformed, kerned, gapped and
// scripted glyph outlines on one or more lines, with tabs, line feeds, word
// wrap, caret records, character boxes, line metrics and the three streams.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "ProcessSettings.h"
#include "TTFState.h"

class CQELEntity;

namespace vuzodo {

class AppendUndo;
class FontDataHolder;
class TTFLoader;

class TTFText {
 public:
  // A worker lives for one append call. It lays out on the lines of `loader`, takes its fonts
  // from the loader's registry and reads the loader's settings.
  explicit TTFText(TTFLoader& loader) : loader_(loader) {}

  // Makes `text` the line's text copy and lays it out with Layout. When this fails part way (out
  // of memory), every line, stream, caret, count and the text mode are put back as they were
  // before the call, and the failure goes on to the caller.
  void Append(TTFState* line, const unsigned short* text, TextMode mode, bool ex);

  // Lays out the line's text with the layout of `mode`; `ex` selects the full layout (line breaks,
  // carets and boxes) of AppendCharactersEx over the single-line one of AppendCharacters.
  void Layout(TTFState* line, TextMode mode, bool ex);

  // Lays out the line's text on it, continuing its pen, carets and streams;
  // line feeds and word wrap continue on new lines.
  void LayoutLine(TTFState* line);
  // One line, no breaking, no carets or line metrics; per character an ink
  // and a cell rectangle.
  void LayoutLineSimple(TTFState* line);

  // Column layout (TTFTextVertical.cpp): the characters stacked top to bottom,
  // each centred on x = 0; a further append continues below.
  void LayoutVertical(TTFState* line);
  // The same column; per character an ink and a cell rectangle instead of a
  // box and a caret.
  void LayoutVerticalSimple(TTFState* line);

  // Path layout (PathText.cpp): the characters along the line's path from its
  // path position, stopping at the first one that does not fit.
  void LayoutPathText(TTFState* line);
  // The same walk without alignment, spacing or bending; per character an ink
  // and a cell rectangle instead of a box and a caret.
  void LayoutPathTextSimple(TTFState* line);

  // Super- or subscript scale (1 without script) and baseline offset (font
  // metric units) of the line's script mode.
  static void ComputeScriptFactors(const TTFState& line, const FontDataHolder& font, double& scale,
                                   double& offset);
  // The font's ascent, descent and line gap times the y scale `y`, as a line records them.
  static LineMetricRecord LineMetricsOf(const FontDataHolder& font, double y);
  // Raises the line's maximum ascent and line gap, lowers its maximum descent
  // and appends `record`.
  static void UpdateLineMetrics(TTFState& line, const LineMetricRecord& record) {
    if (record.ascent > line.maximum_ascent) line.maximum_ascent = record.ascent;
    if (record.descent < line.maximum_descent) line.maximum_descent = record.descent;
    if (record.line_gap > line.maximum_line_gap) line.maximum_line_gap = record.line_gap;
    line.line_metrics.push_back(record);
  }
  static void UpdateLineMetrics(TTFState& line, const FontDataHolder& font, double y) {
    UpdateLineMetrics(line, LineMetricsOf(font, y));
  }
  // Word wrap: the break character k vanishes and every character after it
  // moves from `old_line` to `new_line`.
  static void MoveTailToLine(size_t k, TTFState& new_line, TTFState& old_line);

 private:
  // Lays out `rest` on `line` up to its first break; returns the new line the text goes on with
  // (and leaves in `rest` what is left for it), or null at the end of the text. The line keeps
  // its own part of the text.
  TTFState* LayoutOneLine(TTFState* line, std::u16string_view& rest);

  TTFLoader& loader_;
  AppendUndo* undo_ = nullptr;  // the running Append's record, told before a wrap cuts a line
};

}  // namespace vuzodo
