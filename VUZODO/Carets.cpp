#include "Carets.h"

#include "OutlineCreator.h"

namespace vuzodo {

float* CaretArray(const ProcessSettings& settings,
                  const std::vector<std::unique_ptr<TTFState>>& lines, int& written) {
  written = 0;
  size_t total = 0;
  for (const auto& line : lines) total += line->carets.size();
  if (total == 0) return AllocateHostArray<float>(0);
  float* out = AllocateHostArray<float>(4 * (total - 1));
  double y = 0.0, run = 0.0;
  for (size_t j = 0; j < lines.size(); ++j) {
    const TTFState& line = *lines[j];
    run += line.maximum_ascent;
    if (j > 0) y -= LineAdvance(settings, run);
    for (size_t k = 1; k < line.carets.size(); ++k) {
      const CursorPosition& c = line.carets[k];
      out[written++] = static_cast<float>(c.topX);
      out[written++] = static_cast<float>(y + c.topY);
      out[written++] = static_cast<float>(c.bottomX);
      out[written++] = static_cast<float>(y + c.bottomY);
    }
    run = -line.maximum_descent;
  }
  return out;
}

CursorPosition* MultilineCaretArray(const ProcessSettings& settings,
                                    const std::vector<std::unique_ptr<TTFState>>& lines, bool align,
                                    int& count, float* top) {
  count = 0;
  if (lines.empty()) return AllocateHostArray<CursorPosition>(0);
  LinePlacement place;
  MeasureLines(lines, place);
  PlaceLines(settings, lines, align, place);
  const double block_y = place.block_offset;
  if (top != nullptr) *top = static_cast<float>(-block_y - lines[0]->maximum_ascent);
  size_t total = 0;
  for (const auto& line : lines) total += line->carets.size();
  CursorPosition* out = AllocateHostArray<CursorPosition>(total);
  double y = block_y, run = 0.0;
  for (size_t j = 0; j < lines.size(); ++j) {
    const TTFState& line = *lines[j];
    run += line.maximum_ascent;
    const double x = place.offsets[j];
    if (j > 0) y -= LineAdvance(settings, run);
    for (const CursorPosition& c : line.carets) {
      out[count++] =
          CursorPosition{static_cast<float>(x + c.topX),      static_cast<float>(y + c.topY),
                         static_cast<float>(x + c.bottomX),   static_cast<float>(y + c.bottomY),
                         static_cast<float>(y + c.baselineY), c.lineStart};
    }
    run = -line.maximum_descent;
  }
  return out;
}

}  // namespace vuzodo
