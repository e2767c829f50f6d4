// One text line: its copy of the text settings, its pen, and everything laid
// out on it (the three coordinate streams, boxes, carets and metrics).
#pragma once

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "NURBSPoint.h"
#include "RecordStream.h"
#include "vuzodo/vuzodo.h"

class CQELEntity;

namespace vuzodo {

class NurbPath;

// Four corner points P0..P3 of a laid-out character, output units relative to
// the line's origin. Order matters: the layout renumbers corners by the
// character direction flags.
struct CharacterBox {
  std::array<double, 4> x{};
  std::array<double, 4> y{};
};

// An axis-aligned rectangle (x0, y0, x1, y1), output units.
struct Rect4 {
  double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
};

// Per-character vertical metrics kept by the layout, output units.
struct LineMetricRecord {
  float ascent = 0.0f;
  float descent = 0.0f;  // negative below the baseline
  float line_gap = 0.0f;
};

// The fields are public: the layouts, retrieval and queries all read and write
// the record directly, and the setters below carry the conversions and limits.
class TTFState {
 public:
  TTFState();   // constructor defaults (the line list also resets the process text mode)
  ~TTFState();  // out of line: NurbPath is incomplete here
  TTFState(const TTFState&) = delete;
  TTFState& operator=(const TTFState&) = delete;

  // A new line carrying this line's settings (not its path, metrics or text).
  std::unique_ptr<TTFState> CopySettings() const;
  // The same with `text` as the new line's text copy instead of this line's: a line feed or a
  // wrap continues with the rest of the text, and copying the whole text first for every new
  // line would make a text of many lines cost the square of its length.
  std::unique_ptr<TTFState> CopySettings(std::u16string_view text) const;

  // ---- setters: true when stored, false when refused (nothing changes) ----
  void SetFaceName(const unsigned short* face);
  void SetTextCopy(const unsigned short* text);
  bool SetTextHeight(float height);
  // `gap` in user units, stored times `unit` (the unit size in output units).
  void SetHorizontalGap(float gap, double unit);
  void SetVerticalGap(float gap, double unit);
  bool SetObliqueAngle(float angle);
  bool SetCharacterScale(float sx, float sy);
  bool SetPropsSuperscript(float size, float offset);  // percent
  bool SetPropsSubscript(float size, float offset);    // percent
  // Copies `count` tab stops; a null list or a negative count stores none.
  void SetIndentPositions(const float* list, int count);
  // Reverses an existing path when the flag changes.
  void SetPathTextFlip(bool flip);
  // Makes the NURBS curve the line's path, its characters starting `start` user units along it.
  // The control points `x`, `y` (weighted, user units) are scaled by `unit` in place, as the
  // interface has always done, but only when the curve is accepted: a refusal (false) leaves the
  // caller's arrays and the line's path as they were.
  bool SetNurbsPath(int degree, int count, float* x, float* y, const float* w, int knot_count,
                    const float* knots, float start, double unit);
  // The same for a polyline of n / 2 points (x, y alternating, user units).
  bool SetPolylinePath(const float* points, int n, float start, double unit);

  // Stores one placed character: its advance, and one record in each of the
  // three streams, each closed by a move to the end corner (x1, y1). (x0, y0)
  // is the character's origin; both are output units on the line's baseline.
  // The outline goes to the hatching library, which takes the entities over:
  // `entities` is emptied without deleting them.
  void AddCharacter(double x0, double y0, double x1, double y1, std::vector<CQELEntity*>& entities);
  // The same for a character whose outline is the glyph's own polylines placed by the
  // transform x' = a*x + b*y + e, y' = c*x + d*y + f, when no hatch pattern is registered:
  // the points are placed as they are encoded, with no copy of the outline and no exchange with
  // the hatching library, which would fill nothing. The streams get the same values as
  // AddCharacter gives them for the placed copies. False, with nothing stored, when the outline
  // holds anything but polylines (the caller then takes AddCharacter).
  bool AddPlacedCharacter(double x0, double y0, double x1, double y1,
                          const std::vector<CQELEntity*>& outline, double a, double b, double c,
                          double d, double e, double f);

  // Drops the laid-out text; settings, indents and the path stay.
  void ClearText();

  // ---- settings (declaration order as the record is specified) ----
  std::u16string face_name = u"Arial";
  int font_style = 0;                     // EN_TTFFontStyle
  double horizontal_gap = 0.0;            // output units
  double vertical_gap = 0.0;              // output units
  double character_angle = 0.0;           // radians
  double oblique_angle = 0.0;             // radians
  unsigned short previous_character = 0;  // for kerning across appends
  std::u16string text_copy;               // the last appended string
  bool has_text_copy = false;             // text copy is null until the first append
  double text_height = 1.0;
  int script_mode = 0;            // 0 none, 1 subscript, 2 superscript
  double superscript_size = 1.0;  // fraction of the height
  double subscript_size = 1.0;
  double superscript_offset = 1.0;  // fraction of the height
  double subscript_offset = 1.0;
  bool auto_kern = false;
  bool include_border = true;
  double pen_position_x = 0.0;  // the layout's pen along the line
  double pen_position_y = 0.0;
  NURBSPoint pen;  // stream origin (weight unused)
  double character_scale_x = 1.0;
  double character_scale_y = 1.0;
  bool backward = false;
  bool upside_down = false;
  bool word_wrap = false;
  std::vector<float> indent_list;  // tab stops, user units
  int horizontal_alignment = 0;    // EN_TextHorizontalAlignStyle

  // ---- laid-out content ----
  std::vector<unsigned short> character_codes;
  int character_count = 0;
  double maximum_ascent = 0.0;
  double maximum_descent = 0.0;
  double maximum_line_gap = 0.0;
  std::unique_ptr<NurbPath> path;
  double path_length_of_characters = 0.0;
  int path_text_alignment = 0;  // EN_PathTextAlign
  bool path_flip = false;
  bool deform_path_characters = false;
  double path_spacing = 0.0;

  // Coordinate streams (records 40, 41, 42, 466, output units) and, for each, its
  // end after every stored character.
  RecordStream fill_stream, outline_stream, hatch_stream;
  std::vector<StreamMark> fill_ends, outline_ends, hatch_ends;
  std::vector<CharacterBox> character_boxes;
  std::vector<Rect4> ink_rectangles, cell_rectangles;
  std::vector<double> advances;  // dx, dy per character
  std::vector<CursorPosition> carets;
  std::vector<LineMetricRecord> line_metrics;

  int IndentCount() const { return static_cast<int>(indent_list.size()); }
};

// UTF-16 helpers for the zero-terminated strings of the interface.
std::u16string CopyWide(const unsigned short* text);

}  // namespace vuzodo
