// The output side: line measurement and placement in the text box, shared by
// the outline arrays and the caret queries.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

#include "HostArray.h"
#include "Limits.h"
#include "ProcessSettings.h"
#include "TTFState.h"

namespace vuzodo {

struct LinePlacement {
  std::vector<double> widths;   // sum of the character advances dx per line
  std::vector<double> heights;  // sum of the character advances dy per line
  std::vector<double> offsets;  // horizontal offset per line
  float block_offset = 0.0f;    // vertical offset of the whole block
};

// Widths and height sums of every line.
void MeasureLines(const std::vector<std::unique_ptr<TTFState>>& lines, LinePlacement& out);

// Horizontal offsets per line and the vertical block offset; all zero when
// `align` is false. Expects MeasureLines to have filled the widths.
void PlaceLines(const ProcessSettings& settings,
                const std::vector<std::unique_ptr<TTFState>>& lines, bool align,
                LinePlacement& out);

// Streams of a line by kind, in the numbering of the return types.
enum class StreamKind { kOutline, kFill, kHatch };

// The streams a return type selects, in order (empty for unknown types).
std::vector<StreamKind> StreamOrder(int type);

// The whole text as the host's int array, converted as ToIntArray does while
// the list is assembled; `box` (when not null) receives its eight corner
// values unless the text has no character boxes. Stores the count including -1.
int* BuildTextArray(const ProcessSettings& settings,
                    const std::vector<std::unique_ptr<TTFState>>& lines, int type, bool align,
                    float* box, int& count, std::size_t max_ints = limits::kMaxOutputInts);

// One character, counted over all lines; `found` tells whether it exists
// (otherwise the list is empty and the box is not written).
std::vector<double> BuildCharacterArray(const ProcessSettings& settings,
                                        const std::vector<std::unique_ptr<TTFState>>& lines,
                                        int index, int type, bool align, float* box, bool& found);

// The whole text (negative index) or one character of it, counted over all lines, as the host's
// int array (see BuildTextArray and BuildCharacterArray). Stores the count including -1.
int* TextArray(const ProcessSettings& settings, const std::vector<std::unique_ptr<TTFState>>& lines,
               int index, int type, bool align, float* box, int& count);

// The older single-line retrieval: the whole line (index < 0) or one of its
// characters. Returns the array and stores the allocated count. The steps it takes are written
// to `trace` (the caller's trace log; null writes nothing).
int* LineArray(const TTFState& line, int index, int type, float* box, int& count, std::FILE* trace,
               std::size_t max_ints = limits::kMaxOutputInts);

// Box (min x, min y, max x, max y) of the pen positions of a line's outline,
// hatch polyline and fill streams, each walked from (0, 0); outline arcs add
// their full extent. Without records the extreme start values remain.
void TotalBoundingBox(const TTFState& line, float* box);

// Baseline drop from one line to the next: `run` is the previous line's
// descent (made positive) plus this line's ascent.
double LineAdvance(const ProcessSettings& settings, double run);

// The baseline y of every line, the first at `first`, each next one LineAdvance below the last.
std::vector<double> LineBaselines(const ProcessSettings& settings,
                                  const std::vector<std::unique_ptr<TTFState>>& lines,
                                  double first);

}  // namespace vuzodo
