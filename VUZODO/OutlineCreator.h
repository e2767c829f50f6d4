// The output side: line measurement and placement in the text box, shared by
// the outline arrays and the caret queries.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <vector>

#include "Limits.h"
#include "Memory.h"
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

// Rounds half away from zero to an int; NaN gives 0 and values beyond the int
// range saturate, so no input can overflow the conversion.
int RoundHalfAway(double v);

// The integer part, saturating like RoundHalfAway.
int TruncateToInt(double v);

// Converts a list of stream records into the host's int array, merging
// consecutive moves, dropping records that round to nothing and carrying the
// rounding residues so that the integer pen never drifts. Returns the array
// (ended by -1, allocated for the host) and stores the count including -1.
// An array that would hold more than `max_ints` ints (limits::kMaxOutputInts;
// tests pass less) is refused: the answer is the end mark alone (count 1). So
// are the whole-text and line arrays below.
int* ToIntArray(const std::vector<double>& list, int& count,
                std::size_t max_ints = limits::kMaxOutputInts);

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

// Arrays handed to the host. One routine for every element type, so that
// either release export can free any of them; zero elements still give a
// distinct, releasable pointer.
template <typename T>
T* AllocateHostArray(size_t count) {
  T* data = static_cast<T*>(::operator new[](count * sizeof(T)));
  platform::AdviseLargeBlock(data, count * sizeof(T));
  return data;
}
inline void ReleaseHostArray(void* data) {
  ::operator delete[](data);
}

// Baseline drop from one line to the next: `run` is the previous line's
// descent (made positive) plus this line's ascent.
double LineAdvance(const ProcessSettings& settings, double run);

// The baseline y of every line, the first at `first`, each next one LineAdvance below the last.
std::vector<double> LineBaselines(const ProcessSettings& settings,
                                  const std::vector<std::unique_ptr<TTFState>>& lines,
                                  double first);

}  // namespace vuzodo
