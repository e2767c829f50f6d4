// The output side: line measurement and placement in the text box, shared by
// the outline arrays and the caret queries.
#pragma once

#include <memory>
#include <vector>

#include "TTFState.h"

namespace vuzodo {

struct LinePlacement {
  std::vector<double> widths;    // sum of the character advances dx per line
  std::vector<double> heights;   // sum of the character advances dy per line
  std::vector<double> offsets;   // horizontal offset per line
  float block_offset = 0.0f;     // vertical offset of the whole block
};

// Widths and height sums of every line.
void MeasureLines(const std::vector<std::unique_ptr<TTFState>>& lines, LinePlacement& out);

// Horizontal offsets per line and the vertical block offset; all zero when
// `align` is false. Expects MeasureLines to have filled the widths.
void PlaceLines(const std::vector<std::unique_ptr<TTFState>>& lines, bool align,
                LinePlacement& out);

// Baseline drop from one line to the next: `run` is the previous line's
// descent (made positive) plus this line's ascent.
double LineAdvance(double run);

}  // namespace vuzodo
