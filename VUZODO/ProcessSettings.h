// The settings that are not per line: every line reads the same. The line list owns the one
// instance; the units below it get it (or the values they need) from their caller.
#pragma once

namespace vuzodo {

// The layout an append uses; the values are those the trace log and hosts have always seen.
enum class TextMode : int { kHorizontal = 0, kVertical = 1, kPath = 2 };

// Plain values.
struct ProcessSettings {
  double unit_size = 1000.0;  // output length of one user unit
  TextMode text_mode = TextMode::kHorizontal;
  double line_spacing = 1.0;     // factor on the line advance
  int line_spacing_style = 0;    // EN_LineSpaceStyle
  double text_box_width = 0.0;   // user units
  double text_box_height = 0.0;  // user units
  int vertical_align = 0;        // EN_TextVerticalAlignStyle
  int fnt_conversion_mode = 2;   // EN_FNT_ConvertionStyle
};

}  // namespace vuzodo
