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
  const std::vector<double> baselines = LineBaselines(settings, lines, 0.0);
  for (size_t j = 0; j < lines.size(); ++j) {
    const TTFState& line = *lines[j];
    const double y = baselines[j];
    for (size_t k = 1; k < line.carets.size(); ++k) {
      const CursorPosition& c = line.carets[k];
      out[written++] = static_cast<float>(c.topX);
      out[written++] = static_cast<float>(y + c.topY);
      out[written++] = static_cast<float>(c.bottomX);
      out[written++] = static_cast<float>(y + c.bottomY);
    }
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
  const std::vector<double> baselines = LineBaselines(settings, lines, block_y);
  for (size_t j = 0; j < lines.size(); ++j) {
    const TTFState& line = *lines[j];
    const double x = place.offsets[j], y = baselines[j];
    for (const CursorPosition& c : line.carets) {
      out[count++] =
          CursorPosition{static_cast<float>(x + c.topX),      static_cast<float>(y + c.topY),
                         static_cast<float>(x + c.bottomX),   static_cast<float>(y + c.bottomY),
                         static_cast<float>(y + c.baselineY), c.lineStart};
    }
  }
  return out;
}

}  // namespace vuzodo
