// One character as the C interface hands it back: integer drawing records, pen-relative,
// starting at the character's origin on the baseline. The font writers translate these into
// their formats.
#pragma once

#include <optional>
#include <vector>

namespace vuzodo_fontio {

// Record codes of the interface's int arrays.
inline constexpr int kMove = 40;  // dx, dy
inline constexpr int kDraw = 41;  // dx, dy
inline constexpr int kArc = 42;   // ex, ey, cx, cy: at most a quarter turn, the shorter way
inline constexpr int kDot = 466;  // dx, dy

struct RecordGlyph {
  int code = 0;
  // Records without the closing -1, in output units of the unit size the font was read at.
  std::vector<int> records;
  // Pen advance after the character, output units (the interface reports it as a float).
  double advance = 0.0;
};

struct InkBox {
  double min_x, min_y, max_x, max_y;
};

// Number of ints a record with this code occupies (code included); 0 for an unknown code.
int RecordLength(int code);

// The box of everything the records draw: both ends of every draw, every dot, and the full
// extent of every arc (its ends and the axis points it passes). Moves alone draw nothing.
// Empty when nothing is drawn. A record cut off by the end of the array ends the walk.
std::optional<InkBox> RecordInkBox(const std::vector<int>& records);

// Where the pen stands after all records (the sum of every record's dx, dy).
void RecordPenEnd(const std::vector<int>& records, long& x, long& y);

}  // namespace vuzodo_fontio
