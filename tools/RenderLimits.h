// The ranges the render command accepts, in one place. A value outside them is refused by the
// command line with the option's name and its range, before the engine sees it: the engine
// would refuse it silently or lay out garbage.
#pragma once

#include <cstdint>
#include <limits>

namespace vuzodo_cli::limits {

constexpr int kMaxStyle = 3;          // -s: 0 regular .. 3 bold italic
constexpr int kMaxReturnType = 5;     // -t: 0 outlines .. 5 outline+polylines+fill
constexpr int kMaxAlign = 2;          // --align, --valign: 0 .. 2
constexpr int kMaxSpacingStyle = 1;   // --spacing-style: 0 proportional, 1 fixed
constexpr int kMaxPathAlign = 3;      // --path-align: 0 baseline .. 3 strike-out line
constexpr double kMaxOblique = 1.35;  // --oblique: radians either way

// Font files the engine reads at most (larger ones give no characters), bytes.
constexpr std::uintmax_t kMaxFontFileBytes = 256u << 20;

// Drawing records hold int32 output units; the engine clamps a coordinate that does not fit to
// the range's ends. One em of text is height * unit output units, so a height whose em passes
// the range cannot be drawn at this unit size.
constexpr std::int32_t kRecordMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kRecordMax = std::numeric_limits<std::int32_t>::max();
inline double MaxHeight(double unit) {
  return kRecordMax / unit;
}

}  // namespace vuzodo_cli::limits
