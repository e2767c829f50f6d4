// The stored form of each hatch pattern request, lengths in output units.
#pragma once

#include <memory>
#include <variant>
#include <vector>

class CQELEntity;

namespace qelhatching {

// Offset options shared by the "Ex" requests; zeros mean the defaults.
struct OffsetOptions {
  int algorithm = 0;      // EN_OffsetAlgorithm
  int corner = 0;         // EN_OffsetCornerStyle
  int miter_limit = 0;    // tenths; 0 gives 2.0
  int arc_tolerance = 0;  // thousandths of the unit size; 0 gives the default
};

struct LinePattern {
  float border_gap = 0, line_gap = 0, angle = 0, base_x = 0, base_y = 0;
  int direction = 0;  // borderGapDirection
  int style = 0;      // hatchStyle
  bool with_offset = false;
  OffsetOptions offset;
};

struct OptimizedPattern {
  float border_gap = 0, line_gap = 0, angle = 0, max_link = 0;
  int direction = 0, style = 0;
};

struct IncrementalPattern {
  float border_gap = 0, line_gap = 0, start_angle = 0, angle_step = 0;
  int direction = 0, passes = 0, style = 0;
};

struct OffsetFillingPattern {
  float gap = 0;
  int style = 0;  // EN_OffsetStyle
  OffsetOptions offset;
};

struct OffsetInOutPattern {
  float inside_gap = 0, outside_gap = 0;
  int inside_count = 0, outside_count = 0;
  OffsetOptions offset;
};

struct HelixPattern {
  float gap = 0;
  int style = 0;  // EN_HelixStyle
  bool connect = false;
  OffsetOptions offset;
};

struct LatticePattern {
  float gap_u = 0, gap_v = 0, angle = 0, base_x = 0, base_y = 0;
  bool serpentine = false;
};

using HatchPattern =
    std::variant<LinePattern, OptimizedPattern, IncrementalPattern, OffsetFillingPattern,
                 OffsetInOutPattern, HelixPattern, LatticePattern>;

// The process-wide pattern list, in the order the requests came.
const std::vector<HatchPattern>& PatternList();

// The outline taken over by the exchange under way (empty between characters).
const std::vector<std::unique_ptr<CQELEntity>>& CurrentOutline();

}  // namespace qelhatching
