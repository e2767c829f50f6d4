#include "OutlineCreator.h"

#include <algorithm>

#include "TTFLoader.h"

namespace vuzodo {

double LineAdvance(double run) {
  const ProcessSettings& s = Process();
  return (s.line_spacing_style != 0 ? s.unit_size : run) * s.line_spacing;
}

void MeasureLines(const std::vector<std::unique_ptr<TTFState>>& lines, LinePlacement& out) {
  out.widths.assign(lines.size(), 0.0);
  out.heights.assign(lines.size(), 0.0);
  for (size_t j = 0; j < lines.size(); ++j) {
    const std::vector<double>& adv = lines[j]->advances;
    for (size_t k = 0; k + 1 < adv.size(); k += 2) {
      out.widths[j] += adv[k];
      out.heights[j] += adv[k + 1];
    }
  }
}

void PlaceLines(const std::vector<std::unique_ptr<TTFState>>& lines, bool align,
                LinePlacement& out) {
  out.offsets.assign(lines.size(), 0.0);
  out.block_offset = 0.0f;
  if (lines.empty()) return;
  const ProcessSettings& s = Process();
  const double unit = s.unit_size;
  const double box_w = s.text_box_width * unit;
  const double first_ascent = lines[0]->maximum_ascent;
  double run = 0.0, h = 0.0;
  for (size_t j = 0; j < lines.size(); ++j) {
    const TTFState& line = *lines[j];
    run += line.maximum_ascent;
    if (align) {
      // Alignment values outside 0..2 give offset 0.
      if (line.horizontal_alignment == 1) out.offsets[j] = (box_w - out.widths[j]) / 2.0;
      if (line.horizontal_alignment == 2) out.offsets[j] = box_w - out.widths[j];
    }
    h += (s.line_spacing_style != 0 ? unit : run) * s.line_spacing;
    run = -line.maximum_descent;
  }
  // The lowest corner of the last line's boxes extends the block downwards; a
  // last line without characters (text ending in a line feed) adds nothing.
  const TTFState& last = *lines.back();
  if (!last.character_boxes.empty()) {
    double lowest = last.character_boxes[0].y[0];
    for (const CharacterBox& box : last.character_boxes) {
      lowest = std::min({lowest, box.y[0], box.y[1], box.y[2], box.y[3]});
    }
    h -= lowest;
  }
  if (s.line_spacing_style == 1) {
    h -= unit * s.line_spacing;
  } else {
    h -= s.line_spacing * first_ascent;
  }
  if (!align) return;
  const double box_h = s.text_box_height * unit;
  // Vertical alignment values outside 0..2 give offset 0.
  switch (s.vertical_align) {
    case 0: out.block_offset = static_cast<float>(-first_ascent); break;
    case 1: out.block_offset = static_cast<float>((h - box_h) / 2.0); break;
    case 2: out.block_offset = static_cast<float>(h - box_h); break;
    default: break;
  }
}

}  // namespace vuzodo
